#include "Platform/Camera/QtCameraCapture.h"

CameraCaptureMaker QtCameraSource::defaultCamera()
{
    const auto library = CameraLibrary::shared();
    if (!library)
        return {};
    CameraStreamMaker make = (*library)->defaultCamera();
    // No camera: nothing is built, so no backend can offer a test picture.
    if (!make)
        return {};
    return [make = std::move(make)] { return std::make_unique<QtCameraCapture>(make); };
}

QtCameraSource& QtCameraSource::standard()
{
    static QtCameraSource source;
    return source;
}

QtCameraCapture::QtCameraCapture(const CameraStreamMaker& make)
    : m_stream(make({[this] { emit running(); }, [this] { emit failed(); },
                     [this](const QImage& frame) { emit frameCaptured(frame); }}))
{
}

QtCameraCapture::~QtCameraCapture() = default;

void QtCameraCapture::start()
{
    m_stream->start();
}
