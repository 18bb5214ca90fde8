#pragma once
// The system's default camera through Qt Multimedia (its GStreamer backend
// here: v4l2src, found by the V4L2 device provider). The default input is
// asked for on the main thread, where Qt's device list and its hot-plug
// watch live; the camera, its capture session and the sink its frames reach
// are built, run and released on the capture's own thread. Frames become
// QImages there too.
//
// Only QtCameraCapture.cpp sees Qt Multimedia's headers, so its build flags
// reach no other source.

#include "Platform/Camera/CameraCapture.h"

#include <QSize>

#include <cstddef>
#include <memory>
#include <optional>
#include <span>

class QCameraDevice;
class QVideoFrame;

class QtCameraSource final : public CameraSource {
public:
    CameraCaptureMaker defaultCamera() override;

    /// One for the whole process; it holds nothing.
    static QtCameraSource& standard();
};

class QtCameraCapture final : public CameraCapture {
    Q_OBJECT
public:
    explicit QtCameraCapture(const QCameraDevice& device);
    /// Stops the camera and detaches it and the sink from the session.
    ~QtCameraCapture() override;

    void start() override;

    /// A format the camera offers, in plain values.
    struct Format {
        int width = 0;
        int height = 0;
        double maxFrameRate = 0;
    };
    /// A small picture needs no more than a medium resolution: the index of
    /// the smallest format of at least `medium` (the most frames a second
    /// among equals), else of the largest; none for no formats.
    static std::optional<std::size_t> mediumFormat(std::span<const Format> formats);
    static constexpr QSize medium{480, 360};

private:
    struct Parts;
    void convert(const QVideoFrame& frame);

    std::unique_ptr<Parts> m_parts;
    bool m_answered = false;
};
