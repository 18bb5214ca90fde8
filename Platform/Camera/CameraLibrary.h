#pragma once
// Qt Multimedia, with the network and sound libraries it loads, serves only
// the camera mirror, so the camera code over it lives in the module
// "vude-camera.so" (Core/LoadableModule.h), opened the first time the mirror
// asks for the default camera. QtCameraCapture wraps its streams.

#include "VudeKit/Expected.h"

#include <QImage>

#include <functional>
#include <memory>
#include <string>

class CameraStream {
public:
    /// Called on the thread that built the stream.
    struct Handlers {
        std::function<void()> running;
        std::function<void()> failed;
        std::function<void(const QImage&)> frameCaptured;
    };

    /// Stops the camera.
    virtual ~CameraStream() = default;

    /// As CameraCapture::start.
    virtual void start() = 0;
};

/// Builds a stream of one camera on the thread that runs it.
using CameraStreamMaker = std::function<std::unique_ptr<CameraStream>(CameraStream::Handlers)>;

class CameraLibrary {
public:
    virtual ~CameraLibrary() = default;

    /// The module's code, opened on the first call; or why it cannot be had.
    /// Thread-safe.
    static Expected<const CameraLibrary*, std::string> shared();

    /// The system's default video input now; empty when there is none.
    /// Main thread.
    virtual CameraStreamMaker defaultCamera() const = 0;
};
