#include "Vude/Desk/TimerRow.h"

#include "Vude/Desk/TimerLayout.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>

#include <cmath>

namespace {

const QString kRemove = QStringLiteral("Remove");

QFont timeFont()
{
    // The UI font's digits are all one width: the time does not jitter.
    return systemFont(TimerRow::textSize, Vude::FontWeight::medium);
}

int symbolBox() { return int(std::ceil(TimerRow::symbolSize * SymbolCatalog::kOpticalScale)); }

} // namespace

TimerRow::TimerRow(const ViewEnvironment& environment, QWidget* parent) : QWidget(parent)
{
    m_toggle = new PlainButton(environment, this);
    m_toggle->setPreferredSize(QSize(symbolBox(), symbolBox()));
    m_toggle->setPainter([this](QPainter& painter, const PlainButton& self) {
        SymbolCatalog::draw(painter, self.rect(), toggleSymbol(), toQColor(Vude::Stone::x300), symbolSize);
    });
    connect(m_toggle, &QAbstractButton::clicked, this, [this] {
        if (onToggle)
            onToggle();
    });
}

TimerRow::~TimerRow() = default;

void TimerRow::setTimer(const NotchTimer& timer, Date now)
{
    m_timer = timer;
    m_now = now;
    m_toggle->setText(timer.startedAt ? QStringLiteral("Pause") : QStringLiteral("Resume"));
    setAccessibleName(text());
    update();
    m_toggle->update();
}

void TimerRow::setNow(Date now)
{
    if (now == m_now)
        return;
    m_now = now;
    setAccessibleName(text());
    update();
}

double TimerRow::remaining() const
{
    return TimerLayout::remaining(m_timer, m_now);
}

QString TimerRow::text() const
{
    return QString::fromStdString(TimerLayout::formatted(remaining()));
}

double TimerRow::progress() const
{
    return TimerLayout::progress(m_timer.total, remaining());
}

const char* TimerRow::toggleSymbol() const
{
    return m_timer.startedAt ? "pause.fill" : "play.fill";
}

std::unique_ptr<QMenu> TimerRow::contextMenu()
{
    auto menu = std::make_unique<QMenu>();
    QAction* remove = menu->addAction(kRemove);
    connect(remove, &QAction::triggered, this, [this] {
        if (onRemove)
            onRemove();
    });
    return menu;
}

void TimerRow::contextMenuEvent(QContextMenuEvent* event)
{
    const QPointer<TimerRow> self(this);
    const std::unique_ptr<QMenu> menu = contextMenu();
    menu->exec(event->globalPos());
    if (self)
        event->accept();
}

QSize TimerRow::sizeHint() const
{
    const double line = QFontMetricsF(timeFont()).height();
    return {int(std::ceil(2 * paddingX + ringSize + spacing + QFontMetricsF(timeFont()).horizontalAdvance("0:00:00")
                          + spacing + symbolBox())),
            int(std::ceil(std::max(ringSize, line) + 2 * paddingY))};
}

QSize TimerRow::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void TimerRow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int box = symbolBox();
    m_toggle->setGeometry(int(std::lround(width() - paddingX - box)), (height() - box) / 2, box, box);
}

void TimerRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF bounds = rect();
    painter.fillPath(continuousRoundedRect(bounds, cornerRadius), toQColor(Vude::Ink::x900));

    // The ring: a dark track, and over it the part done from the top,
    // clockwise, with round ends.
    const QRectF ring(paddingX, (height() - ringSize) / 2, ringSize, ringSize);
    const QRectF track = ring.adjusted(ringLineWidth / 2, ringLineWidth / 2, -ringLineWidth / 2, -ringLineWidth / 2);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(toQColor(Vude::Ink::x700), ringLineWidth));
    painter.drawEllipse(track);
    const double done = progress();
    if (done > 0) {
        painter.setPen(QPen(toQColor(Vude::Accent::x500), ringLineWidth, Qt::SolidLine, Qt::RoundCap));
        // Qt's angles are sixteenths of a degree, anticlockwise from three o'clock.
        painter.drawArc(track, 90 * 16, -int(std::lround(done * 360 * 16)));
    }

    const double textLeft = ring.right() + spacing;
    const double textRight = m_toggle->geometry().left() - spacing;
    painter.setFont(timeFont());
    painter.setPen(toQColor(Vude::Stone::x100));
    painter.drawText(QRectF(textLeft, 0, std::max(0.0, textRight - textLeft), height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}
