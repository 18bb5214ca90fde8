#include "Vude/Desk/MediaLaunchPrompt.h"

#include "Vude/Toolkit/PlainButton.h"
#include "Vude/Toolkit/WrappedText.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QPainter>
#include <QPointer>

#include <cmath>

namespace {

const QString kFirstLine = QStringLiteral("No app seems to be running");
const QString kSecondLine = QStringLiteral("Wanna open one?");

QFont firstFont() { return systemFont(12.0, Vude::FontWeight::regular); }
QFont secondFont() { return systemFont(13.0, Vude::FontWeight::semibold); }

/// A launch tile: its icon in a 34-point square that grows on hover. The
/// box leaves room for the grown icon; only the square takes the pointer.
class LaunchTile final : public PlainButton {
public:
    static constexpr double margin = MediaLaunchPrompt::tileSize * (MediaLaunchPrompt::hoverScale - 1) / 2;

    LaunchTile(const ViewEnvironment& environment, QIcon icon, QWidget* parent)
        : PlainButton(environment, parent), m_icon(std::move(icon))
    {
        const int box = int(std::ceil(MediaLaunchPrompt::tileSize + 2 * margin));
        setPreferredSize(QSize(box, box));
        setPainter([this](QPainter& painter, const PlainButton&) { paintIcon(painter); });
    }

protected:
    bool hitButton(const QPoint& point) const override { return square().contains(point); }

private:
    QRectF square() const
    {
        const double side = MediaLaunchPrompt::tileSize;
        return {width() / 2.0 - side / 2, height() / 2.0 - side / 2, side, side};
    }

    void paintIcon(QPainter& painter) const
    {
        const double scale = 1 + (MediaLaunchPrompt::hoverScale - 1) * hoverProgress();
        const double side = MediaLaunchPrompt::tileSize * scale;
        const QRectF target(width() / 2.0 - side / 2, height() / 2.0 - side / 2, side, side);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (m_icon.isNull()) {
            SymbolCatalog::draw(painter, target, "music.note", toQColor(Vude::Stone::x300), side * 0.6);
            return;
        }
        const qreal ratio = painter.device()->devicePixelRatioF();
        const QPixmap pixmap = m_icon.pixmap(QSize(int(std::ceil(side)), int(std::ceil(side))), ratio);
        painter.drawPixmap(target, pixmap, QRectF(QPointF(), pixmap.size()));
    }

    QIcon m_icon;
};

} // namespace

MediaLaunchPrompt::MediaLaunchPrompt(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment)
{
    setAccessibleName(kFirstLine);
    setAccessibleDescription(kSecondLine);
}

MediaLaunchPrompt::~MediaLaunchPrompt()
{
    m_pendingLookup.cancel();
}

void MediaLaunchPrompt::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Just after the prompt shows: the first frame does not wait for the
    // applications folders.
    m_pendingLookup.cancel();
    m_pendingLookup = m_environment.scheduler.after(Duration::zero(), [self = QPointer<MediaLaunchPrompt>(this)] {
        if (self)
            self->lookUp();
    });
}

void MediaLaunchPrompt::lookUp()
{
    m_apps = MediaPlayers::firstInstalled(MediaPlayers::table(), m_lookup);
    rebuildTiles();
}

void MediaLaunchPrompt::rebuildTiles()
{
    for (PlainButton* tile : m_tiles) {
        tile->hide();
        tile->deleteLater();
    }
    m_tiles.clear();
    for (const MediaPlayers::Found& app : m_apps) {
        auto* tile = new LaunchTile(m_environment, app.icon, this);
        tile->setText(QString::fromStdString(app.appId));
        connect(tile, &QAbstractButton::clicked, this, [this, appId = app.appId] {
            if (m_onLaunch)
                m_onLaunch(appId);
        });
        m_tiles.push_back(tile);
        tile->show();
    }
    placeTiles();
    update();
}

int MediaLaunchPrompt::columnHeight(int width) const
{
    const double textWidth = std::max(0.0, width - 2 * paddingX);
    double height = WrappedText::size(kFirstLine, firstFont(), textWidth).height() + lineSpacing +
                    WrappedText::size(kSecondLine, secondFont(), textWidth).height();
    if (!m_tiles.empty())
        height += spacing + tileSize;
    return int(std::ceil(height));
}

QRectF MediaLaunchPrompt::linesRect() const
{
    const double textWidth = std::max(0.0, width() - 2 * paddingX);
    const double lines = WrappedText::size(kFirstLine, firstFont(), textWidth).height() + lineSpacing +
                         WrappedText::size(kSecondLine, secondFont(), textWidth).height();
    const double top = (height() - columnHeight(width())) / 2.0;
    return {paddingX, top, textWidth, lines};
}

void MediaLaunchPrompt::placeTiles()
{
    if (m_tiles.empty())
        return;
    const double count = double(m_tiles.size());
    const double rowWidth = count * tileSize + (count - 1) * tileSpacing;
    const double top = linesRect().bottom() + spacing;
    double x = (width() - rowWidth) / 2;
    for (PlainButton* tile : m_tiles) {
        const QSize box = tile->sizeHint();
        const double margin = (box.width() - tileSize) / 2;
        tile->setGeometry(int(std::lround(x - margin)), int(std::lround(top - margin)), box.width(), box.height());
        x += tileSize + tileSpacing;
    }
}

void MediaLaunchPrompt::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeTiles();
}

void MediaLaunchPrompt::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF lines = linesRect();
    const double first = WrappedText::size(kFirstLine, firstFont(), lines.width()).height();
    WrappedText::draw(painter, QRectF(lines.left(), lines.top(), lines.width(), first), kFirstLine, firstFont(),
                      toQColor(Vude::Stone::x300));
    WrappedText::draw(painter, QRectF(lines.left(), lines.top() + first + lineSpacing, lines.width(),
                                      lines.height() - first - lineSpacing),
                      kSecondLine, secondFont(), toQColor(Vude::Stone::x100));
}
