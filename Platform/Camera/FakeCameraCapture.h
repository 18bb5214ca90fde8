#pragma once
// Synthetic cameras for tests. The source answers as the test sets it (a
// camera or none), and its captures, living on whatever thread made them,
// start as the test scripts them and send the frames the test hands over.
// Any thread may ask how many were made and are alive.

#include "Platform/Camera/CameraCapture.h"

#include <mutex>
#include <vector>

class FakeCameraCapture;

class FakeCameraSource final : public CameraSource {
public:
    enum class Start {
        /// Running at once.
        runs,
        /// Failed at once (the camera cannot be opened).
        fails,
        /// No answer until answerStarts().
        waits,
    };

    /// Set from the test's thread before the capture is made.
    bool hasCamera = true;
    Start start = Start::runs;

    CameraCaptureMaker defaultCamera() override;

    /// Times the default camera was asked for, captures made and alive now.
    int asked() const;
    int made() const;
    int alive() const;

    /// Sends `frame` from every live capture, through its own thread.
    void sendFrame(const QImage& frame);
    /// Answers every capture still waiting to start.
    void answerStarts(bool runs);
    /// Every running capture stops on an error.
    void failRunning();

private:
    friend class FakeCameraCapture;
    void forEachLive(const std::function<void(FakeCameraCapture*)>& action);

    mutable std::mutex m_mutex;
    int m_asked = 0;
    int m_made = 0;
    std::vector<FakeCameraCapture*> m_live;
};

class FakeCameraCapture final : public CameraCapture {
    Q_OBJECT
public:
    FakeCameraCapture(FakeCameraSource& source, FakeCameraSource::Start start);
    ~FakeCameraCapture() override;

    void start() override;

private:
    friend class FakeCameraSource;
    FakeCameraSource& m_source;
    const FakeCameraSource::Start m_start;
    bool m_started = false;
    bool m_running = false;
};
