#include "Platform/Camera/FakeCameraCapture.h"

#include <QMetaObject>

#include <algorithm>

CameraCaptureMaker FakeCameraSource::defaultCamera()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_asked;
    }
    if (!hasCamera)
        return {};
    return [this, start = start] { return std::make_unique<FakeCameraCapture>(*this, start); };
}

int FakeCameraSource::asked() const
{
    std::lock_guard lock(m_mutex);
    return m_asked;
}

int FakeCameraSource::made() const
{
    std::lock_guard lock(m_mutex);
    return m_made;
}

int FakeCameraSource::alive() const
{
    std::lock_guard lock(m_mutex);
    return int(m_live.size());
}

void FakeCameraSource::forEachLive(const std::function<void(FakeCameraCapture*)>& action)
{
    // Under the lock, so no capture goes while it is being reached; the work
    // itself runs on the capture's thread, and is dropped if it has gone.
    std::lock_guard lock(m_mutex);
    for (FakeCameraCapture* capture : m_live)
        action(capture);
}

void FakeCameraSource::sendFrame(const QImage& frame)
{
    forEachLive([frame](FakeCameraCapture* capture) {
        QMetaObject::invokeMethod(capture, [capture, frame] {
            if (capture->m_running)
                emit capture->frameCaptured(frame);
        }, Qt::QueuedConnection);
    });
}

void FakeCameraSource::answerStarts(bool runs)
{
    forEachLive([runs](FakeCameraCapture* capture) {
        QMetaObject::invokeMethod(capture, [capture, runs] {
            if (!capture->m_started || capture->m_running)
                return;
            capture->m_started = false;
            capture->m_running = runs;
            if (runs)
                emit capture->running();
            else
                emit capture->failed();
        }, Qt::QueuedConnection);
    });
}

void FakeCameraSource::failRunning()
{
    forEachLive([](FakeCameraCapture* capture) {
        QMetaObject::invokeMethod(capture, [capture] {
            if (!capture->m_running)
                return;
            capture->m_running = false;
            emit capture->failed();
        }, Qt::QueuedConnection);
    });
}

FakeCameraCapture::FakeCameraCapture(FakeCameraSource& source, FakeCameraSource::Start start)
    : m_source(source), m_start(start)
{
    std::lock_guard lock(m_source.m_mutex);
    ++m_source.m_made;
    m_source.m_live.push_back(this);
}

FakeCameraCapture::~FakeCameraCapture()
{
    std::lock_guard lock(m_source.m_mutex);
    std::erase(m_source.m_live, this);
}

void FakeCameraCapture::start()
{
    switch (m_start) {
    case FakeCameraSource::Start::runs:
        m_running = true;
        emit running();
        return;
    case FakeCameraSource::Start::fails:
        emit failed();
        return;
    case FakeCameraSource::Start::waits:
        m_started = true;
        return;
    }
}
