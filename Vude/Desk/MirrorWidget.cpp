#include "Vude/Desk/MirrorWidget.h"

#include "Platform/Camera/QtCameraCapture.h"
#include "Platform/Core/MainThread.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Toolkit/Strokes.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <cmath>

namespace {

QFont textFont() { return systemFont(MirrorLayout::textSize, Vude::FontWeight::regular); }
double symbolBox() { return std::ceil(MirrorLayout::symbolSize * SymbolCatalog::kOpticalScale); }
QString shown(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

} // namespace

/// The circle and what it holds; the widget decides, this paints.
class MirrorFace final : public QWidget {
public:
    explicit MirrorFace(const MirrorWidget& widget, QWidget* parent = nullptr) : QWidget(parent), m_widget(widget) {}

    MirrorLayout currentLayout() const
    {
        const bool denied = m_widget.state() == MirrorWidget::State::noAccess;
        const QFontMetricsF metrics(textFont());
        const QString text = shown(MirrorLayout::caption(denied));
        return MirrorLayout::layout(width(), symbolBox(),
                                    {std::ceil(metrics.horizontalAdvance(text)), std::ceil(metrics.height())});
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const MirrorLayout layout = currentLayout();
        const QRectF circle = toQRectF(layout.circle);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath round;
        round.addEllipse(circle);
        painter.fillPath(round, toQColor(Vude::Ink::x850));

        const MirrorWidget::State state = m_widget.state();
        if (state == MirrorWidget::State::live) {
            const QImage& frame = m_widget.frame();
            const Rect source = MirrorLayout::aspectFillSource({double(frame.width()), double(frame.height())},
                                                               {circle.width(), circle.height()});
            if (!frame.isNull() && source.width > 0) {
                painter.save();
                painter.setClipPath(round);
                // Mirrored about the circle's centre, as a mirror shows a face.
                painter.translate(circle.center());
                painter.scale(-1, 1);
                painter.translate(-circle.center());
                painter.drawImage(circle, frame, toQRectF(source));
                painter.restore();
            }
        } else {
            const bool denied = state == MirrorWidget::State::noAccess;
            SymbolCatalog::draw(painter, toQRectF(layout.symbol), MirrorLayout::symbolName(denied),
                                toQColor(Vude::Stone::x400), MirrorLayout::symbolSize);
            painter.setFont(textFont());
            painter.setPen(toQColor(Vude::Stone::x300));
            painter.drawText(toQRectF(layout.text).adjusted(-2, 0, 2, 0), Qt::AlignCenter | Qt::TextSingleLine,
                             shown(MirrorLayout::caption(denied)));
        }

        painter.setPen(QPen(toQColor(Vude::Ink::x700), MirrorLayout::borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(insideStrokeRect(circle, MirrorLayout::borderWidth));
    }

private:
    const MirrorWidget& m_widget;
};

MirrorWidget::MirrorWidget(QWidget* parent) : MirrorWidget(Seams{}, parent) {}

MirrorWidget::MirrorWidget(Seams seams, QWidget* parent)
    : DeskWidget(WidgetID::mirror, parent), m_permissions(seams.permissions),
      m_controller(seams.cameras ? *seams.cameras : QtCameraSource::standard())
{
    m_face = new MirrorFace(*this);
    m_widgetFrame = new WidgetFrame(shown(MirrorLayout::caption(false)), m_face, Qt::AlignCenter, nullptr, this);
    connect(&m_controller, &MirrorController::frameChanged, this, [this](const QImage& frame) {
        if (!m_shown || !m_live)
            return;
        m_frame = frame;
        m_face->update();
    });
    connect(&m_controller, &MirrorController::failed, this, [this] {
        if (m_shown)
            setDenied();
    });
    refresh();
}

MirrorWidget::~MirrorWidget() = default;

void MirrorWidget::bind(const WidgetBinding&)
{
    // The mirror is handed nothing: it owns its camera.
}

MirrorWidget::State MirrorWidget::state() const
{
    if (m_live)
        return State::live;
    return m_denied ? State::noAccess : State::waiting;
}

QRect MirrorWidget::circleRect() const
{
    const Rect circle = static_cast<const MirrorFace*>(m_face)->currentLayout().circle;
    return QRect(m_face->mapTo(this, QPoint(int(std::lround(circle.x)), int(std::lround(circle.y)))),
                 QSize(int(circle.width), int(circle.height)));
}

void MirrorWidget::showEvent(QShowEvent* event)
{
    DeskWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    ++m_generation;
    begin();
}

void MirrorWidget::hideEvent(QHideEvent* event)
{
    DeskWidget::hideEvent(event);
    if (!m_shown)
        return;
    m_shown = false;
    ++m_generation;
    // The picture goes before the camera stops, so a stopped camera is never
    // shown.
    m_live = false;
    m_frame = QImage();
    refresh();
    m_controller.stop();
}

void MirrorWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_widgetFrame->setGeometry(rect());
}

void MirrorWidget::begin()
{
    PermissionSystem& system = m_permissions ? *m_permissions : PermissionSystem::standard();
    const int generation = m_generation;
    switch (Permission::camera.state(system)) {
    case Permission::State::granted:
        startCamera(generation);
        return;
    case Permission::State::notDetermined:
        // Answered on a thread of its own.
        Permission::camera.request(
            [self = QPointer<MirrorWidget>(this), generation](bool granted) {
                postToMainThread([self, generation, granted] {
                    // Hidden while it was asked: nothing to start for.
                    if (!self || self->m_generation != generation)
                        return;
                    if (granted)
                        self->startCamera(generation);
                    else
                        self->setDenied();
                });
            },
            system);
        return;
    case Permission::State::denied:
    case Permission::State::unknown:
        setDenied();
        return;
    }
}

void MirrorWidget::startCamera(int generation)
{
    m_controller.start([this, generation](bool running) {
        if (m_generation != generation) {
            // Late: a camera nobody shows is turned off at once. A newer
            // start, already queued behind it, replaces it by itself.
            if (running && !m_shown)
                m_controller.stop();
            return;
        }
        m_live = running;
        m_denied = !running;
        refresh();
    });
}

void MirrorWidget::setDenied()
{
    m_live = false;
    m_denied = true;
    m_frame = QImage();
    refresh();
}

void MirrorWidget::refresh()
{
    m_face->setAccessibleName(state() == State::live ? shown(MirrorLayout::caption(false))
                                                     : shown(MirrorLayout::caption(m_denied)));
    m_face->update();
}
