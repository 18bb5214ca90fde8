// The clipboard history is polled twice a second for the life of the
// process: a poll that finds nothing new must cost next to nothing. Recording
// a copy is measured beside it for scale: what it costs the main thread with
// the history file written on the worker, beside the same copy with the file
// written where the copy is recorded (as it once was) and with no file.
#include "Platform/Desktop/FakePasteboard.h"
#include "Platform/Desktop/QtPasteboard.h"
#include "VudeServices/ClipboardService.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

ClipboardService::Options optionsIn(const QTemporaryDir& folder)
{
    ClipboardService::Options options;
    options.applicationSupport = folder.path().toStdString();
    return options;
}

// A full history of 200 texts, as the largest setting keeps.
void fill(FakePasteboard& pasteboard, ClipboardService& service)
{
    service.setMaxItems(200);
    for (int i = 0; i < 200; ++i) {
        pasteboard.copyText("entry " + std::to_string(i));
        service.poll();
    }
}

} // namespace

// What the shell's tick does every half second when nothing was copied:
// hand over the settings, then poll.
static void BM_PollUnchanged(benchmark::State& state)
{
    QTemporaryDir folder;
    FakePasteboard pasteboard;
    ClipboardService service(pasteboard, "Vude", optionsIn(folder));
    fill(pasteboard, service);
    for (auto _ : state) {
        service.setMaxItems(200);
        service.setPersists(true);
        service.poll();
    }
    if (pasteboard.readCount() != 200)
        state.SkipWithError("a poll read the pasteboard");
}
BENCHMARK(BM_PollUnchanged);

// The same over Qt's clipboard, whose change count is our own counter.
static void BM_PollUnchangedQtPasteboard(benchmark::State& state)
{
    QTemporaryDir folder;
    QtPasteboard pasteboard(QGuiApplication::clipboard());
    ClipboardService service(pasteboard, "Vude", optionsIn(folder));
    for (auto _ : state) {
        service.setMaxItems(40);
        service.setPersists(false);
        service.poll();
    }
}
BENCHMARK(BM_PollUnchangedQtPasteboard);

// A new text on top of a full history: de-duplication, eviction and, when
// persisting, the whole file written again.
static void BM_RecordText(benchmark::State& state)
{
    QTemporaryDir folder;
    FakePasteboard pasteboard;
    ClipboardService service(pasteboard, "Vude", optionsIn(folder));
    fill(pasteboard, service);
    service.setPersists(state.range(0) != 0);
    int i = 0;
    for (auto _ : state) {
        pasteboard.copyText("new entry " + std::to_string(i++));
        service.poll();
    }
}
BENCHMARK(BM_RecordText)->Arg(0)->Arg(1)->ArgName("persists")->Unit(benchmark::kMicrosecond);

// The peer: the same copies with every write run on the calling thread.
static void BM_RecordTextWritingOnTheMainThread(benchmark::State& state)
{
    QTemporaryDir folder;
    FakePasteboard pasteboard;
    auto options = optionsIn(folder);
    options.writeExecutor = [](std::function<void()> job) { job(); };
    ClipboardService service(pasteboard, "Vude", options);
    fill(pasteboard, service);
    service.setPersists(true);
    int i = 0;
    for (auto _ : state) {
        pasteboard.copyText("new entry " + std::to_string(i++));
        service.poll();
    }
}
BENCHMARK(BM_RecordTextWritingOnTheMainThread)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
