// A child of the audio backend's tests, linked without the audio module's
// code and with no module beside it. It makes two backends, starts them and
// prints what the first answers, one line each; what the backend says about
// the missing module goes to standard error.
#include "Platform/Audio/PulseAudioBackend.h"
#include "VudeKit/Scheduler.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ManualClock clock;
    ManualScheduler scheduler(clock);
    PulseAudioBackend backend(scheduler, "unix:/nonexistent/vude/native");
    PulseAudioBackend second(scheduler, "unix:/nonexistent/vude/native");
    int events = 0;
    backend.setEventHandler([&events](const AudioBackendEvent&) { ++events; });
    backend.start();
    second.start();

    int answers = 0;
    bool applied = true;
    backend.setVolume(1, 0.5, [&](bool result) {
        ++answers;
        applied = result;
    });
    const auto defaultOutput = backend.defaultOutputDevice();
    std::printf("available %d\n", int(backend.isAvailable()));
    std::printf("attempts %d\n", backend.connectionAttempts());
    std::printf("default output %s\n", defaultOutput ? std::to_string(*defaultOutput).c_str() : "none");
    std::printf("device %s\n", backend.device(1) ? "some" : "none");
    std::printf("outputs %zu\n", backend.outputDevices().size());
    std::printf("volume set answered %d applied %d\n", answers, int(applied));
    std::printf("default set %d\n", int(backend.setDefaultOutput(1)));
    // Nothing is ever retried.
    QCoreApplication::processEvents();
    scheduler.advance(std::chrono::minutes(1));
    std::printf("pending %zu events %d\n", scheduler.pendingCount(), events);
    backend.stop();
    return 0;
}
