#include "Vude/Desk/MirrorController.h"

#include "Platform/Core/MainThread.h"

#include <QMetaObject>

#include <string_view>

// Lives on the controller's thread and owns the capture there.
class MirrorQueue final : public QObject {
public:
    explicit MirrorQueue(MirrorController& controller) : m_controller(controller) {}
    ~MirrorQueue() override { release(); }

    void start(int id, const CameraCaptureMaker& make, MirrorController::Completion completion)
    {
        release();
        std::unique_ptr<CameraCapture> capture = make ? make() : nullptr;
        if (!capture) {
            finish(std::move(completion), false);
            return;
        }
        m_capture = std::move(capture);
        m_id = id;
        m_pending = std::move(completion);
        m_controller.m_hasCapture = true;
        CameraCapture* made = m_capture.get();
        connect(made, &CameraCapture::running, this, [this, made] {
            if (made == m_capture.get() && m_pending)
                finish(std::exchange(m_pending, nullptr), true);
        });
        connect(made, &CameraCapture::failed, this, [this, made] {
            if (made != m_capture.get())
                return;
            const bool ran = !m_pending;
            const int id = m_id;
            MirrorController::Completion pending = std::exchange(m_pending, nullptr);
            // It is still emitting: it goes once that is over.
            m_capture.release()->deleteLater();
            m_controller.m_hasCapture = false;
            if (!ran) {
                finish(std::move(pending), false);
                return;
            }
            MirrorController* controller = &m_controller;
            postTo(controller, [controller, id] {
                if (controller->m_wanted == id)
                    emit controller->failed();
            });
        });
        connect(made, &CameraCapture::frameCaptured, this, [this, made, id](const QImage& frame) {
            if (made == m_capture.get() && !m_pending)
                m_controller.offerFrame(id, frame);
        });
        made->start();
    }

    void stop()
    {
        MirrorController::Completion pending = std::exchange(m_pending, nullptr);
        release();
        if (pending)
            finish(std::move(pending), false);
    }

private:
    void release()
    {
        m_capture.reset();
        m_controller.m_hasCapture = false;
    }

    void finish(MirrorController::Completion completion, bool running)
    {
        if (!completion)
            return;
        postTo(&m_controller, [completion = std::move(completion), running] { completion(running); });
    }

    MirrorController& m_controller;
    std::unique_ptr<CameraCapture> m_capture;
    int m_id = 0;
    MirrorController::Completion m_pending;
};

MirrorController::MirrorController(CameraSource& cameras, QObject* parent) : QObject(parent), m_cameras(cameras) {}

MirrorController::~MirrorController()
{
    if (!m_thread)
        return;
    m_wanted = 0;
    // The capture goes on its own thread, then the loop ends.
    QMetaObject::invokeMethod(
        m_queue,
        [queue = m_queue] {
            queue->stop();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    m_thread->wait();
}

void MirrorController::ensureThread()
{
    if (m_thread)
        return;
    m_thread = std::make_unique<QThread>();
    const std::string_view label(queueLabel);
    m_thread->setObjectName(QString::fromLatin1(label.substr(label.rfind('.') + 1)));
    m_queue = new MirrorQueue(*this);
    m_queue->moveToThread(m_thread.get());
    // Deleted on its own thread as that ends.
    connect(m_thread.get(), &QThread::finished, m_queue, &QObject::deleteLater);
    m_thread->start();
}

void MirrorController::start(Completion completion)
{
    const int id = ++m_lastId;
    m_wanted = id;
    CameraCaptureMaker make = m_cameras.defaultCamera();
    ensureThread();
    QMetaObject::invokeMethod(
        m_queue,
        [queue = m_queue, id, make = std::move(make), completion = std::move(completion)]() mutable {
            queue->start(id, make, std::move(completion));
        },
        Qt::QueuedConnection);
}

void MirrorController::stop()
{
    m_wanted = 0;
    if (!m_thread)
        return;
    QMetaObject::invokeMethod(m_queue, [queue = m_queue] { queue->stop(); }, Qt::QueuedConnection);
}

void MirrorController::offerFrame(int id, QImage frame)
{
    if (qMin(frame.width(), frame.height()) > frameSide)
        frame = frame.scaled(frameSide, frameSide, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    std::lock_guard lock(m_frameMutex);
    m_frameId = id;
    m_frame = std::move(frame);
    if (m_framePosted)
        return;
    m_framePosted = true;
    postTo(this, [this] { takeFrame(); });
}

void MirrorController::takeFrame()
{
    int id;
    QImage frame;
    {
        std::lock_guard lock(m_frameMutex);
        m_framePosted = false;
        id = m_frameId;
        frame = std::exchange(m_frame, QImage());
    }
    if (id != 0 && id == m_wanted && !frame.isNull())
        emit frameChanged(frame);
}
