#pragma once
// The system's default camera through Qt Multimedia (its GStreamer backend
// here: v4l2src, found by the V4L2 device provider), from the camera module
// (CameraLibrary.h). The default input is asked for on the main thread, where
// Qt's device list and its hot-plug watch live; the camera, its capture
// session and the sink its frames reach are built, run and released on the
// capture's own thread. Frames become QImages there too.

#include "Platform/Camera/CameraCapture.h"
#include "Platform/Camera/CameraLibrary.h"

#include <memory>

class QtCameraSource final : public CameraSource {
public:
    /// Empty too when the camera module cannot be opened.
    CameraCaptureMaker defaultCamera() override;

    /// One for the whole process; it holds nothing.
    static QtCameraSource& standard();
};

class QtCameraCapture final : public CameraCapture {
    Q_OBJECT
public:
    explicit QtCameraCapture(const CameraStreamMaker& make);
    /// Stops the camera and detaches it and the sink from the session.
    ~QtCameraCapture() override;

    void start() override;

private:
    std::unique_ptr<CameraStream> m_stream;
};
