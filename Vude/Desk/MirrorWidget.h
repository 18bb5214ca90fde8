#pragma once
// The camera mirror: the default camera's picture, mirrored left to right, in
// a 78-point circle at the top of the cell. The one Desk widget that owns a
// service: its MirrorController, which runs the camera only while the widget
// is on screen.
//
//   waiting    no picture yet, access not refused: the person symbol, "Mirror"
//   live       the camera runs: its mirrored picture
//   no access  access refused, no camera, or the camera would not start:
//              the crossed-out camera, "No access"
//
// Shown: the camera permission is read (asked for when not yet decided),
// then the controller starts the camera. Hidden: the picture goes at once,
// then the camera is stopped. A start answered after the widget was hidden
// (or hidden and shown again) is dropped, and a camera it left running is
// stopped; a show counter tells them apart. Nothing is handed over by the
// Desk.

#include "Vude/Desk/DeskWidget.h"
#include "Vude/Desk/MirrorController.h"
#include "Vude/Desk/MirrorLayout.h"

#include <QImage>

class CameraSource;
class PermissionSystem;
class WidgetFrame;

class MirrorWidget final : public DeskWidget {
    Q_OBJECT
public:
    enum class State { waiting, live, noAccess };

    /// What the widget uses of the system; none means the standard one (the
    /// default camera through Qt Multimedia, the installed permissions).
    struct Seams {
        CameraSource* cameras = nullptr;
        PermissionSystem* permissions = nullptr;
    };

    explicit MirrorWidget(QWidget* parent = nullptr);
    explicit MirrorWidget(Seams seams, QWidget* parent = nullptr);
    ~MirrorWidget() override;

    void bind(const WidgetBinding& binding) override;

    State state() const;
    /// The picture shown now; null unless live and a frame came.
    const QImage& frame() const { return m_frame; }
    /// The circle, in the widget's coordinates.
    QRect circleRect() const;
    MirrorController& controller() { return m_controller; }
    WidgetFrame* widgetFrame() const { return m_widgetFrame; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void begin();
    void startCamera(int generation);
    void setDenied();
    void refresh();

    PermissionSystem* m_permissions;
    MirrorController m_controller;
    WidgetFrame* m_widgetFrame = nullptr;
    QWidget* m_face = nullptr;
    bool m_shown = false;
    /// Counts shows and hides: an answer for another generation is late.
    int m_generation = 0;
    bool m_live = false;
    bool m_denied = false;
    QImage m_frame;
};
