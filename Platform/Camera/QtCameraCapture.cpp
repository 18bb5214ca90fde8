#include "Platform/Camera/QtCameraCapture.h"

#include <QCamera>
#include <QCameraDevice>
#include <QCameraFormat>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoFrame>
#include <QVideoSink>

#include <vector>

CameraCaptureMaker QtCameraSource::defaultCamera()
{
    const QCameraDevice device = QMediaDevices::defaultVideoInput();
    // No camera: nothing is built, so no backend can offer a test picture.
    if (device.isNull())
        return {};
    return [device] { return std::make_unique<QtCameraCapture>(device); };
}

QtCameraSource& QtCameraSource::standard()
{
    static QtCameraSource source;
    return source;
}

struct QtCameraCapture::Parts {
    QCameraDevice device;
    std::unique_ptr<QCamera> camera;
    QMediaCaptureSession session;
    QVideoSink sink;
};

QtCameraCapture::QtCameraCapture(const QCameraDevice& device) : m_parts(std::make_unique<Parts>())
{
    m_parts->device = device;
}

QtCameraCapture::~QtCameraCapture()
{
    if (m_parts->camera)
        m_parts->camera->stop();
    m_parts->session.setVideoSink(nullptr);
    m_parts->session.setCamera(nullptr);
    m_parts->camera.reset();
}

void QtCameraCapture::start()
{
    m_parts->camera = std::make_unique<QCamera>(m_parts->device);
    if (m_parts->camera->error() != QCamera::NoError) {
        m_answered = true;
        emit failed();
        return;
    }
    const QList<QCameraFormat> offered = m_parts->device.videoFormats();
    std::vector<Format> formats;
    for (const QCameraFormat& format : offered)
        formats.push_back({format.resolution().width(), format.resolution().height(), format.maxFrameRate()});
    if (const auto chosen = mediumFormat(formats))
        m_parts->camera->setCameraFormat(offered.at(qsizetype(*chosen)));

    connect(m_parts->camera.get(), &QCamera::errorOccurred, this, [this](QCamera::Error error) {
        if (error != QCamera::NoError)
            emit failed();
    });
    connect(m_parts->camera.get(), &QCamera::activeChanged, this, [this](bool active) {
        if (active && !m_answered) {
            m_answered = true;
            emit running();
        }
    });
    // The backend may hand frames over on its streaming thread: this object
    // as the context brings them to ours.
    connect(&m_parts->sink, &QVideoSink::videoFrameChanged, this, &QtCameraCapture::convert);
    m_parts->session.setCamera(m_parts->camera.get());
    m_parts->session.setVideoSink(&m_parts->sink);
    m_parts->camera->start();
    if (m_parts->camera->error() != QCamera::NoError && !m_answered) {
        m_answered = true;
        emit failed();
    }
}

void QtCameraCapture::convert(const QVideoFrame& frame)
{
    if (!frame.isValid())
        return;
    const QImage image = frame.toImage();
    if (!image.isNull())
        emit frameCaptured(image);
}

std::optional<std::size_t> QtCameraCapture::mediumFormat(std::span<const Format> formats)
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
