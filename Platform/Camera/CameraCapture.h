#pragma once
// Capturing pictures from a camera. A CameraSource names the system's
// default camera; the maker it hands back builds a CameraCapture of that
// camera on the thread that will run it (a thread with a Qt event loop, never
// the main thread), where it is started, sends its frames and is released.
// Releasing a capture turns the camera off.
//   QtCameraSource    the default video input of Qt Multimedia
//   FakeCameraSource  synthetic captures for tests

#include <QImage>
#include <QObject>

#include <functional>
#include <memory>

class CameraCapture : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~CameraCapture() override;

    /// Opens the camera and starts capturing. running() or failed() follows,
    /// during the call or later from the event loop.
    virtual void start() = 0;

signals:
    /// The camera captures; frames follow.
    void running();
    /// It could not be started, or stopped on an error.
    void failed();
    /// A picture, upright, as the camera sees it (not mirrored).
    void frameCaptured(const QImage& frame);
};

/// Builds a capture of one camera, on the thread that runs it; none when the
/// camera cannot be captured from.
using CameraCaptureMaker = std::function<std::unique_ptr<CameraCapture>()>;

class CameraSource {
public:
    virtual ~CameraSource() = default;
    /// The system's default camera now, as the maker of its capture; empty
    /// when there is no camera. Main thread.
    virtual CameraCaptureMaker defaultCamera() = 0;
};
