#pragma once
// The mirror widget's camera. Every capture is made, started and released on
// the controller's own thread ("app.ruvudav.notch.mirror"), one job at a time
// in the order asked, so a stop asked after a start runs after it. The
// thread runs a Qt event loop, which the camera needs; it lives from the
// first start to the controller's end, when it is joined.
//
// The camera runs for as long as a capture exists: stop() releases it (the
// camera's light goes out) and start() builds a fresh one, releasing any
// before it. Frames reach the main thread as QImages no larger than the
// mirror needs, the newest only; frames of a capture the main thread no
// longer wants are dropped.
//
// Main thread, except where said.

#include "Platform/Camera/CameraCapture.h"

#include <QImage>
#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class MirrorQueue;

class MirrorController final : public QObject {
    Q_OBJECT
public:
    /// Told whether the camera runs now; on the main thread.
    using Completion = std::function<void(bool running)>;

    static constexpr const char* queueLabel = "app.ruvudav.notch.mirror";
    /// Frames are scaled down until their shorter side is at most this, which
    /// covers the 78-point circle at three pixels a point.
    static constexpr int frameSide = 240;

    /// `cameras` must outlive the controller.
    explicit MirrorController(CameraSource& cameras, QObject* parent = nullptr);
    /// Releases the capture and joins the thread.
    ~MirrorController() override;

    MirrorController(const MirrorController&) = delete;
    MirrorController& operator=(const MirrorController&) = delete;

    /// Takes the default camera, then on the thread releases the capture
    /// before, builds one and starts it. `completion` is told true once it
    /// runs; false when there is no camera, it cannot start, or a stop came
    /// first.
    void start(Completion completion);
    /// On the thread: releases the capture, if any.
    void stop();

    /// The controller's thread; none before the first start.
    QThread* queueThread() const { return m_thread.get(); }
    /// Whether a capture exists on the thread now; any thread.
    bool hasCapture() const { return m_hasCapture.load(); }

signals:
    /// The newest frame of the capture last started, upright, not mirrored.
    void frameChanged(const QImage& frame);
    /// The capture last started stopped on an error after it ran.
    void failed();

private:
    friend class MirrorQueue;
    void ensureThread();
    // From the thread: hands `frame` of capture `id` over, coalescing.
    void offerFrame(int id, QImage frame);
    void takeFrame();

    CameraSource& m_cameras;
    std::unique_ptr<QThread> m_thread;
    MirrorQueue* m_queue = nullptr;
    /// The capture the main thread wants now; 0 for none.
    int m_wanted = 0;
    int m_lastId = 0;
    std::atomic<bool> m_hasCapture{false};

    std::mutex m_frameMutex;
    int m_frameId = 0;
    QImage m_frame;
    bool m_framePosted = false;
};
