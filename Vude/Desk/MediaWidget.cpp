#include "Vude/Desk/MediaWidget.h"

#include "Vude/Desk/MediaLaunchPrompt.h"
#include "Vude/Desk/MediaScrubber.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Shell/Views/ArtworkView.h"
#include "Vude/Toolkit/FittedText.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>

#include <cmath>

namespace {

const QString kTitle = QStringLiteral("Now Playing");

constexpr double kRowSpacing = 10;
constexpr double kArtworkSpacing = 11;
constexpr double kLabelSpacing = 2;
constexpr double kTransportSpacing = 22;
constexpr double kButtonWidth = 26;
constexpr double kButtonHeight = 24;
constexpr double kButtonSymbolSize = 17;
constexpr Vude::FontToken kTitleFont{13, Vude::FontWeight::medium};
constexpr Vude::FontToken kArtistFont{11, Vude::FontWeight::regular};

double lineHeight(const Vude::FontToken& font) { return std::ceil(QFontMetricsF(toQFont(font)).height()); }

QString text(const std::optional<std::string>& value)
{
    return value ? QString::fromStdString(*value) : QString();
}

/// Every child fills it: the player and the prompt, one of them shown.
class Stack final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        for (QObject* child : children())
            if (auto* widget = qobject_cast<QWidget*>(child))
                widget->setGeometry(rect());
    }
};

} // namespace

/// The artwork and the labels, painted; the scrubber and the buttons as
/// children. One column, centred in the cell's height.
class MediaWidget::Player final : public QWidget {
public:
    Player(MediaWidget& owner, QWidget* parent) : QWidget(parent), m_owner(owner) {}

    double columnHeight() const
    {
        return artworkSize + kRowSpacing + m_owner.m_scrubber->sizeHint().height() + kRowSpacing + kButtonHeight;
    }

    double top() const { return std::max(0.0, (height() - columnHeight()) / 2); }

    void place()
    {
        const double scrubberTop = top() + artworkSize + kRowSpacing;
        const int scrubberHeight = m_owner.m_scrubber->sizeHint().height();
        m_owner.m_scrubber->setGeometry(0, int(std::lround(scrubberTop)), width(), scrubberHeight);
        const double transportTop = scrubberTop + scrubberHeight + kRowSpacing;
        const double row = 3 * kButtonWidth + 2 * kTransportSpacing;
        double x = (width() - row) / 2;
        for (PlainButton* button : {m_owner.m_previous, m_owner.m_toggle, m_owner.m_next}) {
            button->setGeometry(int(std::lround(x)), int(std::lround(transportTop)), int(kButtonWidth),
                                int(kButtonHeight));
            x += kButtonWidth + kTransportSpacing;
        }
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        place();
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double y = top();
        m_owner.m_artwork->paint(painter, QRectF(0, y, artworkSize, artworkSize));

        const NowPlayingState& state = m_owner.m_state;
        const double left = artworkSize + kArtworkSpacing;
        const double width = std::max(0.0, this->width() - left);
        const double title = lineHeight(kTitleFont);
        const double artist = state.artist ? kLabelSpacing + lineHeight(kArtistFont) : 0;
        const double labelsTop = y + (artworkSize - title - artist) / 2;
        drawFittedText(painter, QRectF(left, labelsTop, width, title), text(state.title), kTitleFont, 1,
                       toQColor(Vude::Stone::x100));
        if (state.artist)
            drawFittedText(painter, QRectF(left, labelsTop + title + kLabelSpacing, width, lineHeight(kArtistFont)),
                           text(state.artist), kArtistFont, 1, toQColor(Vude::Stone::x400));
    }

private:
    MediaWidget& m_owner;
};

MediaWidget::MediaWidget(const DeskEnvironment& environment, QWidget* parent)
    : DeskWidget(WidgetID::media, parent), m_environment(environment), m_now(environment.wallClock.now()),
      m_artwork(std::make_unique<ArtworkView>(artworkSize))
{
    auto* stack = new Stack;
    m_frame = new WidgetFrame(kTitle, stack, Qt::AlignCenter, nullptr, this);

    m_player = new Player(*this, stack);
    m_scrubber = new MediaScrubber(environment.view, m_player);
    m_scrubber->setOnSeek([this](double seconds) { send(MediaCommand::seek(seconds)); });
    const auto makeButton = [this](const QString& name, std::function<const char*()> symbol, MediaCommand command) {
        auto* button = new PlainButton(m_environment.view, m_player);
        button->setText(name);
        button->setPreferredSize(QSize(int(kButtonWidth), int(kButtonHeight)));
        button->setPainter([symbol = std::move(symbol)](QPainter& painter, const PlainButton& self) {
            SymbolCatalog::draw(painter, self.rect(), symbol(), toQColor(Vude::Stone::x100), kButtonSymbolSize);
        });
        connect(button, &QAbstractButton::clicked, this, [this, command] { send(command); });
        return button;
    };
    m_previous = makeButton(QStringLiteral("Previous"), [] { return "backward.fill"; }, MediaCommand::previous());
    m_toggle = makeButton(QStringLiteral("Play"), [this] { return m_state.isPlaying ? "pause.fill" : "play.fill"; },
                          MediaCommand::toggle());
    m_next = makeButton(QStringLiteral("Next"), [] { return "forward.fill"; }, MediaCommand::next());

    m_prompt = new MediaLaunchPrompt(environment.view, stack);
    connect(m_artwork.get(), &ArtworkView::imageChanged, m_player, qOverload<>(&QWidget::update));

    m_player->hide();
    m_prompt->show();
}

MediaWidget::~MediaWidget()
{
    m_tick.cancel();
}

QString MediaWidget::time(double seconds)
{
    return MediaTimeline::time(seconds);
}

bool MediaWidget::isShowingPlayer() const
{
    return m_state.title.has_value();
}

void MediaWidget::bind(const WidgetBinding& binding)
{
    const auto& media = std::get<MediaBinding>(binding);
    m_state = media.state;
    m_onCommand = media.onCommand;
    m_prompt->setLookup(media.playerIcon);
    m_prompt->setOnLaunch(media.onLaunchPlayer);

    std::optional<Data> artwork;
    if (m_state.artwork && !m_state.artwork->empty())
        artwork = m_state.artwork->asData();
    m_artwork->setData(std::move(artwork));
    m_toggle->setText(m_state.isPlaying ? QStringLiteral("Pause") : QStringLiteral("Play"));
    m_scrubber->setPlayback(m_state, m_now);

    const bool player = isShowingPlayer();
    m_player->setVisible(player);
    m_prompt->setVisible(!player);
    m_player->update();
    m_toggle->update();
    updateClock();
}

void MediaWidget::send(const MediaCommand& command) const
{
    if (m_onCommand)
        m_onCommand(command);
}

void MediaWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}

void MediaWidget::showEvent(QShowEvent* event)
{
    DeskWidget::showEvent(event);
    m_shown = true;
    updateClock();
}

void MediaWidget::hideEvent(QHideEvent* event)
{
    DeskWidget::hideEvent(event);
    m_shown = false;
    updateClock();
}

void MediaWidget::updateClock()
{
    const bool wanted = m_shown && isShowingPlayer();
    if (wanted == m_ticking)
        return;
    m_ticking = wanted;
    if (!wanted) {
        m_tick.cancel();
        return;
    }
    tick();
    m_tick = m_environment.view.scheduler.every(tickInterval, [self = QPointer<MediaWidget>(this)] {
        if (self)
            self->tick();
    });
}

void MediaWidget::tick()
{
    m_now = m_environment.wallClock.now();
    m_scrubber->setPlayback(m_state, m_now);
}
