#include "Vude/Shell/Views/NotchDemoView.h"

#include "VudeUI/NotchShape.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

QColor rgb(double red, double green, double blue, double alpha = 1)
{
    return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha));
}

QLinearGradient artworkGradient(const QRectF& rect)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, rgb(0.541, 0.498, 0.439));
    gradient.setColorAt(1, rgb(0.290, 0.263, 0.235));
    return gradient;
}

} // namespace

NotchDemoView::NotchDemoView(NotchDemo::Script script, double notchWidth, double notchHeight, Scheduler& scheduler,
                             const ClockSource& clock, const ReduceMotionSetting* reduceMotion, QWidget* parent)
    : QWidget(parent)
    , m_demo(script, notchWidth, notchHeight)
    , m_scheduler(scheduler)
    , m_reduceMotion(reduceMotion)
{
    setFixedHeight(cardHeight);
    const auto size = m_demo.currentSize();
    m_size = std::make_unique<SpringAnimator>(scheduler, clock, std::vector<double>{size.width, size.height});
    connect(m_size.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
    m_shownBeat = m_demo.beat();
    m_cueBeat = m_demo.beat();
    m_cue = std::make_unique<SpringAnimator>(scheduler, clock, std::vector<double>{1, 0});
    connect(m_cue.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
}

double NotchDemoView::cueOpacity(int beat) const
{
    if (m_demo.script() != NotchDemo::Script::gestures || beat < 1)
        return 0;
    if (beat == m_cueBeat)
        return std::clamp(m_cue->value()[0], 0.0, 1.0);
    if (beat == m_fadingCueBeat)
        return std::clamp(m_cue->value()[1], 0.0, 1.0);
    return 0;
}

NotchDemoView::~NotchDemoView()
{
    m_demo.stop();
}

NotchDemo::Size NotchDemoView::drawnSize() const
{
    return {m_size->value()[0], m_size->value()[1]};
}

void NotchDemoView::showBeat(int beat)
{
    m_demo.setBeat(beat);
    m_shownBeat = beat;
    m_cueBeat = beat;
    m_fadingCueBeat = 0;
    m_cue->setValue({1, 0});
    const auto size = m_demo.currentSize();
    m_size->setValue({size.width, size.height});
    update();
}

void NotchDemoView::beatChanged()
{
    if (m_demo.beat() != m_shownBeat) {
        m_shownBeat = m_demo.beat();
        auto animation = Vude::Animation::spring(springResponse, springDamping);
        if (m_reduceMotion)
            animation = Vude::Motion::respectingReduceMotion(animation, *m_reduceMotion);
        const auto size = m_demo.currentSize();
        m_size->animateTo({size.width, size.height}, animation);

        // The old cue fades out from where it was while the new one fades in.
        const double leaving = m_cue->value()[0];
        m_fadingCueBeat = m_cueBeat;
        m_cueBeat = m_shownBeat;
        if (m_reduceMotion && m_reduceMotion->reduceMotion()) {
            m_cue->setValue({1, 0});
        } else {
            m_cue->setValue({0, leaving});
            m_cue->animateTo({1, 0}, animation);
        }
    }
    update();
}

void NotchDemoView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_demo.start(m_scheduler, [this] { beatChanged(); });
}

void NotchDemoView::hideEvent(QHideEvent* event)
{
    m_demo.stop();
    QWidget::hideEvent(event);
}

void NotchDemoView::drawCue(QPainter& painter, int beat, double opacity, const QRectF& notch, double midY) const
{
    const double gap = m_demo.notchWidth();
    const double left = notch.left() + 9;
    painter.save();
    painter.setOpacity(opacity);
    SymbolCatalog::draw(painter, QRectF(left, midY - 5, 10, 10), NotchDemo::gestureSymbol(beat),
                        toQColor(Vude::Stone::x200), 8);
    painter.setPen(toQColor(Vude::Accent::x500));
    painter.setFont(systemFont(7, Vude::FontWeight::semibold));
    painter.drawText(QRectF(left + 10 + gap - 14, midY - 6, notch.right() - 9 - (left + gap - 4), 12),
                     Qt::AlignRight | Qt::AlignVCenter, QString::fromUtf8(NotchDemo::gestureLabel(beat)));
    painter.restore();
}

void NotchDemoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card(0.5, 0.5, width() - 1.0, height() - 1.0);
    QPainterPath clip;
    clip.addRoundedRect(card, 14, 14);
    painter.save();
    painter.setClipPath(clip);

    // The desktop.
    QLinearGradient backdrop(card.topLeft(), card.bottomLeft());
    backdrop.setColorAt(0, rgb(0.102, 0.102, 0.114));
    backdrop.setColorAt(1, rgb(0.055, 0.055, 0.063));
    painter.fillRect(card, backdrop);
    const QPointF centre = card.center();
    struct Shape {
        double widthShare, height, dx, dy;
    };
    for (const Shape shape : {Shape{0.52, 46, -70, 92}, Shape{0.34, 34, 92, 118}, Shape{0.42, 26, -30, 152}}) {
        const double w = shape.widthShare * card.width();
        QRectF rect(0, 0, w, shape.height);
        rect.moveCenter(centre + QPointF(shape.dx, shape.dy - card.height() / 2));
        QPainterPath window;
        window.addRoundedRect(rect, 6, 6);
        painter.fillPath(window, rgb(1, 1, 1, 0.025));
    }

    // The notch, hanging from the top edge.
    const auto size = drawnSize();
    const QRectF notch(centre.x() - size.width / 2, card.top(), size.width, size.height);
    const NotchShape shape(3, m_demo.isOpen() ? 12 : 7);
    const QPainterPath outline =
        toQPainterPath(shape.path({notch.x(), notch.y(), notch.width(), notch.height()}));
    painter.fillPath(outline, Qt::black);
    painter.setPen(QPen(rgb(1, 1, 1, 0.07), 1));
    painter.drawPath(outline);

    const double gap = m_demo.notchWidth();
    const double midY = notch.top() + m_demo.notchHeight() / 2;
    using Script = NotchDemo::Script;
    const auto drawer = [&] {
        const double left = notch.left() + 14;
        const double top = notch.top() + 24;
        const QRectF art(left, top, 30, 30);
        QPainterPath tile;
        tile.addRoundedRect(art, 4, 4);
        painter.fillPath(tile, artworkGradient(art));
        painter.fillRect(QRectF(art.right() + 8, top + 8, 62, 3.5), toQColor(Vude::Stone::x200));
        painter.fillRect(QRectF(art.right() + 8, top + 16, 42, 3), toQColor(Vude::Stone::x400));
        const double split = art.right() + 8 + 62 + 8;
        painter.fillRect(QRectF(split, top, 1, 40), toQColor(Vude::Ink::x700));
        for (int row = 0; row < 3; ++row) {
            painter.fillRect(QRectF(split + 8, top + 2 + row * 12, 4, 4), toQColor(Vude::Stone::x300));
            QPainterPath bar;
            bar.addRoundedRect(QRectF(split + 16, top + row * 12, 46, 8), 2, 2);
            painter.fillPath(bar, toQColor(Vude::Ink::x800));
        }
    };
    const auto pill = [&](std::string_view symbol, double fill) {
        const double left = notch.left() + 10;
        SymbolCatalog::draw(painter, QRectF(left, midY - 5, 10, 10), symbol, toQColor(Vude::Stone::x100), 7);
        const QRectF track(left + 10 + gap - 12, midY - 1.25, 40, 2.5);
        painter.fillRect(track, rgb(1, 1, 1, 0.16));
        painter.fillRect(QRectF(track.left(), track.top(), 40 * fill, 2.5), toQColor(Vude::Accent::x500));
    };

    switch (m_demo.script()) {
    case Script::overview:
        if (m_demo.beat() == 1)
            pill("speaker.wave.2.fill", 0.62);
        else if (m_demo.beat() == 2)
            drawer();
        break;
    case Script::gestures:
        for (const int beat : {m_fadingCueBeat, m_cueBeat})
            if (const double opacity = cueOpacity(beat); opacity > 0)
                drawCue(painter, beat, opacity, notch, midY);
        break;
    case Script::media: {
        const double left = notch.left() + 8;
        const QRectF art(left, midY - 5.5, 11, 11);
        QPainterPath tile;
        tile.addRoundedRect(art, 2.5, 2.5);
        painter.fillPath(tile, artworkGradient(art));
        double x = art.right() + gap - 16;
        for (int i = 0; i < 5; ++i) {
            const double h = m_demo.barHeight(i);
            painter.fillRect(QRectF(x, midY - h / 2, 1.6, h), toQColor(Vude::Accent::x500));
            x += 1.6 + 1.5;
        }
        break;
    }
    case Script::ravo:
        if (m_demo.isOpen())
            drawer();
        break;
    }
    painter.restore();
    painter.setPen(QPen(toQColor(Vude::Ink::x700), 1));
    painter.drawPath(clip);
}
