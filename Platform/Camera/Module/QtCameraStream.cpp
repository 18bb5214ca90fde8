#include "Platform/Camera/CameraLibrary.h"
#include "Platform/Camera/Module/CameraFormats.h"

#include <QCamera>
#include <QCameraDevice>
#include <QCameraFormat>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoFrame>
#include <QVideoSink>

#include <vector>

namespace {

class QtCameraStream final : public CameraStream {
public:
    QtCameraStream(const QCameraDevice& device, Handlers handlers) : m_device(device), m_handlers(std::move(handlers))
    {
    }

    ~QtCameraStream() override
    {
        if (m_camera)
            m_camera->stop();
        m_session.setVideoSink(nullptr);
        m_session.setCamera(nullptr);
        m_camera.reset();
    }

    void start() override
    {
        m_camera = std::make_unique<QCamera>(m_device);
        if (m_camera->error() != QCamera::NoError) {
            m_answered = true;
            m_handlers.failed();
            return;
        }
        const QList<QCameraFormat> offered = m_device.videoFormats();
        std::vector<CameraFormats::Format> formats;
        for (const QCameraFormat& format : offered)
            formats.push_back({format.resolution().width(), format.resolution().height(), format.maxFrameRate()});
        if (const auto chosen = CameraFormats::mediumFormat(formats))
            m_camera->setCameraFormat(offered.at(qsizetype(*chosen)));

        QObject::connect(m_camera.get(), &QCamera::errorOccurred, &m_context, [this](QCamera::Error error) {
            if (error != QCamera::NoError)
                m_handlers.failed();
        });
        QObject::connect(m_camera.get(), &QCamera::activeChanged, &m_context, [this](bool active) {
            if (active && !m_answered) {
                m_answered = true;
                m_handlers.running();
            }
        });
        // The backend may hand frames over on its streaming thread: the
        // context object brings them to ours.
        QObject::connect(&m_sink, &QVideoSink::videoFrameChanged, &m_context,
                         [this](const QVideoFrame& frame) { convert(frame); });
        m_session.setCamera(m_camera.get());
        m_session.setVideoSink(&m_sink);
        m_camera->start();
        if (m_camera->error() != QCamera::NoError && !m_answered) {
            m_answered = true;
            m_handlers.failed();
        }
    }

private:
    void convert(const QVideoFrame& frame)
    {
        if (!frame.isValid())
            return;
        const QImage image = frame.toImage();
        if (!image.isNull())
            m_handlers.frameCaptured(image);
    }

    QCameraDevice m_device;
    Handlers m_handlers;
    std::unique_ptr<QCamera> m_camera;
    QMediaCaptureSession m_session;
    QVideoSink m_sink;
    bool m_answered = false;
    // Receives the camera's and the sink's signals; declared last so it goes
    // first and nothing queued reaches a half-destroyed stream.
    QObject m_context;
};

class QtCameraLibrary final : public CameraLibrary {
public:
    CameraStreamMaker defaultCamera() const override
    {
        const QCameraDevice device = QMediaDevices::defaultVideoInput();
        if (device.isNull())
            return {};
        return [device](CameraStream::Handlers handlers) -> std::unique_ptr<CameraStream> {
            return std::make_unique<QtCameraStream>(device, std::move(handlers));
        };
    }
};

} // namespace

namespace CameraFormats {

std::optional<std::size_t> mediumFormat(std::span<const Format> formats)
{
    const auto area = [](const Format& format) { return qint64(format.width) * format.height; };
    const auto enough = [](const Format& format) {
        return format.width >= medium.width() && format.height >= medium.height();
    };
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const Format& candidate = formats[i];
        if (!best) {
            best = i;
            continue;
        }
        const Format& chosen = formats[*best];
        bool better;
        if (enough(candidate) != enough(chosen))
            better = enough(candidate);
        else if (area(candidate) != area(chosen))
            better = enough(candidate) ? area(candidate) < area(chosen) : area(candidate) > area(chosen);
        else
            better = candidate.maxFrameRate > chosen.maxFrameRate;
        if (better)
            best = i;
    }
    return best;
}

} // namespace CameraFormats

extern "C" __attribute__((visibility("default"))) const CameraLibrary* vudeCameraLibrary()
{
    static const QtCameraLibrary library;
    return &library;
}
