// What the moving now-playing item costs: the notch's root view showing the
// ambient item (cover, waveform, contrast outline on) on a private Xvfb,
// against a bare 60 Hz Qt program that draws the same outline, a cover
// square and five bars. Each runs in a process of its own, one after the
// other, in pairs whose order alternates; the parent reads the child's CPU
// time and context switches (every thread's, voluntary and not: its
// wakeups) from /proc over the same window. The figures are ratios of the
// same run, so a loaded machine moves both sides alike.
//
//   BM_AmbientMediaAgainstPeer      app_cpu_pct, peer_cpu_pct, cpu_ratio,
//                                   app_wakeups_s, peer_wakeups_s,
//                                   wakeup_ratio (medians of the pairs' ratios)
//   BM_AmbientMediaAgainstLeanPeer  the same against a peer that repaints
//                                   only its bars each frame
//
// The same program is the subject: `--draw app` or `--draw peer`.
#include "Platform/Core/QtScheduler.h"
#include "Vude/Shell/NotchRootView.h"
#include "Vude/Shell/NotchViewModel.h"
#include "Vude/Shell/ShellPlatform.h"
#include "Vude/Shell/Views/ArtworkCache.h"
#include "VudeKit/UserDefaults.h"
#include "VudeUI/NotchShape.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTextMeasurer.h"
#include "VudeUI/qt/QtTokens.h"
#include "tests/support/PrivateXServer.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kScreenWidth = 1440;
constexpr int kWarmUpMs = 1500;
constexpr int kWindowMs = 5000;
constexpr int kPairs = 3;

QImage cover()
{
    QImage image(600, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 600, 600);
    gradient.setColorAt(0, QColor(0xD9, 0x6C, 0x3B));
    gradient.setColorAt(1, QColor(0x3B, 0x2A, 0x6E));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    return image;
}

Data coverBytes()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    cover().save(&buffer, "PNG");
    return Data(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

/// A frameless, translucent window at the top centre, like a notch panel.
void placeAtTop(QWidget& window, QSize size)
{
    window.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint);
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.resize(size);
    window.move((kScreenWidth - size.width()) / 2, 0);
    window.show();
}

/// The app's own drawing: the root view over a view model showing the
/// ambient item, on the app's scheduler and steady clock.
int drawApp(int argc, char** argv)
{
    QApplication app(argc, argv);
    FakeShellPlatform fakes;
    ScreenDescription screen;
    screen.name = "eDP-1";
    screen.frame = {0, 0, kScreenWidth, 900};
    screen.visibleFrame = screen.frame;
    fakes.screens.setScreens({screen});
    ShellPlatform platform = fakes.platform();
    NotchGeometry geometry;
    geometry.displayID = 1;
    geometry.screenFrame = {0, 0, double(kScreenWidth), 900};
    geometry.notchSize = {184, 8};
    geometry.notchOrigin = {kScreenWidth / 2.0 - 92, 892};
    SettingsStore settings{std::make_shared<InMemoryUserDefaults>()};
    settings.setContrastOutline(true);
    QtScheduler scheduler;
    SteadyClock clock;
    QtTextMeasurer measurer;
    ArtworkCache cache;
    NotchViewModel model(geometry, settings, platform, scheduler, clock, measurer);
    QWidget window;
    auto* root = new NotchRootView(model, scheduler, clock, cache, &window);
    model.send(NotchEvent::activityArrived(ActivityPayload(
        Uuid::random(), ActivityKind::nowPlaying, ActivityPriority::ambient, std::nullopt,
        ActivityGlyph::artwork(coverBytes()), "Harbour Lights", "The Quiet Coast", ActivityTrailing::waveform(true),
        std::chrono::hours(24), std::nullopt, SystemClock().now())));
    const Size canvas = model.currentCanvasSize();
    const QSize size(int(std::ceil(canvas.width)), int(std::ceil(canvas.height)));
    root->resize(size);
    placeAtTop(window, size);
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

/// A bare peer: a 60 Hz timer repainting the window, which fills and strokes
/// the notch outline and draws a cover square and five moving bars.
/// A lean peer repaints only its bars each frame.
class PeerView final : public QWidget {
public:
    explicit PeerView(bool lean) : m_cover(cover().scaled(22, 22, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
    {
        m_frames.setTimerType(Qt::PreciseTimer);
        connect(&m_frames, &QTimer::timeout, this, [this, lean] {
            if (lean)
                update(QRect(width() - 6 - 12 - 23 - 1, 0, 25, height()));
            else
                update();
        });
        m_frames.start(16);
        m_clock.start();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const Rect bounds{6, 0, double(width() - 12), double(height() - 6)};
        const QPainterPath outline = toQPainterPath(NotchShape(6, 14).path(bounds));
        painter.fillPath(outline, toQColor(Vude::Ink::x1000));
        painter.strokePath(outline, QPen(toQColor(Vude::contrastOutline), 1));
        const double middle = bounds.y + bounds.height / 2;
        painter.drawImage(QPointF(bounds.x + 12, middle - 11), m_cover);
        const double seconds = double(m_clock.nsecsElapsed()) / 1e9;
        const double left = bounds.x + bounds.width - 12 - 22.5;
        for (int i = 0; i < 5; ++i) {
            const double height = 3 + 11 * (std::sin(seconds * (1.9 + 0.3 * i) + i) + 1) / 2;
            painter.setPen(Qt::NoPen);
            painter.setBrush(toQColor(Vude::Stone::x200));
            painter.drawRoundedRect(QRectF(left + i * 5, middle - height / 2, 2.5, height), 1.25, 1.25);
        }
    }

private:
    QImage m_cover;
    QTimer m_frames;
    QElapsedTimer m_clock;
};

int drawPeer(int argc, char** argv, QSize size, bool lean)
{
    QApplication app(argc, argv);
    PeerView view(lean);
    placeAtTop(view, size);
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

struct Usage {
    double cpuSeconds = 0;
    double switches = 0;
};

/// A process's CPU time and the context switches of its living threads.
Usage usageOf(qint64 pid)
{
    Usage usage;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        // Fields after the command's closing parenthesis: utime is the 12th, stime the 13th.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            usage.cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
    }
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + "/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                usage.switches += line.mid(line.indexOf(':') + 1).trimmed().toDouble();
    }
    return usage;
}

struct Figures {
    double cpuPercent = 0;
    double wakeupsPerSecond = 0;
};

/// Runs one subject, waits out its start, and measures a window of it.
std::optional<Figures> measure(const testsupport::PrivateXServer& server, const char* subject, QSize size)
{
    QProcess child;
    QProcessEnvironment environment = server.childEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--draw", subject, "--size", QStringLiteral("%1x%2").arg(size.width()).arg(size.height())});
    if (!child.waitForStarted(5000) || !child.waitForReadyRead(10000)) {
        child.kill();
        child.waitForFinished();
        return std::nullopt;
    }
    QThread::msleep(kWarmUpMs);
    const Usage before = usageOf(child.processId());
    QElapsedTimer elapsed;
    elapsed.start();
    QThread::msleep(kWindowMs);
    const Usage after = usageOf(child.processId());
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    child.kill();
    child.waitForFinished();
    return Figures{100 * (after.cpuSeconds - before.cpuSeconds) / seconds, (after.switches - before.switches) / seconds};
}

double median(std::vector<double> values)
{
    std::ranges::sort(values);
    return values.empty() ? 0 : values[values.size() / 2];
}

QSize g_canvas;

void against(benchmark::State& state, const char* peerName)
{
    testsupport::PrivateXServer server;
    if (!server.start(QStringLiteral("%1x900x24").arg(kScreenWidth))) {
        state.SkipWithError("Xvfb did not start");
        return;
    }
    std::vector<double> app, peer, appWakeups, peerWakeups, cpuRatios, wakeupRatios;
    for (auto _ : state) {
        for (int pair = 0; pair < kPairs; ++pair) {
            std::optional<Figures> a, p;
            if (pair % 2 == 0) {
                a = measure(server, "app", g_canvas);
                p = measure(server, peerName, g_canvas);
            } else {
                p = measure(server, peerName, g_canvas);
                a = measure(server, "app", g_canvas);
            }
            if (!a || !p) {
                state.SkipWithError("a subject did not start");
                return;
            }
            app.push_back(a->cpuPercent);
            peer.push_back(p->cpuPercent);
            appWakeups.push_back(a->wakeupsPerSecond);
            peerWakeups.push_back(p->wakeupsPerSecond);
            cpuRatios.push_back(a->cpuPercent / std::max(p->cpuPercent, 1e-9));
            wakeupRatios.push_back(a->wakeupsPerSecond / std::max(p->wakeupsPerSecond, 1e-9));
        }
    }
    state.counters["app_cpu_pct"] = median(app);
    state.counters["peer_cpu_pct"] = median(peer);
    state.counters["cpu_ratio"] = median(cpuRatios);
    state.counters["app_wakeups_s"] = median(appWakeups);
    state.counters["peer_wakeups_s"] = median(peerWakeups);
    state.counters["wakeup_ratio"] = median(wakeupRatios);
}
void BM_AmbientMediaAgainstPeer(benchmark::State& state) { against(state, "peer"); }
void BM_AmbientMediaAgainstLeanPeer(benchmark::State& state) { against(state, "leanpeer"); }
BENCHMARK(BM_AmbientMediaAgainstPeer)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_AmbientMediaAgainstLeanPeer)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

/// The canvas the ambient item takes, for the peer's window too.
QSize ambientCanvas()
{
    FakeShellPlatform fakes;
    ShellPlatform platform = fakes.platform();
    NotchGeometry geometry;
    geometry.displayID = 1;
    geometry.screenFrame = {0, 0, double(kScreenWidth), 900};
    geometry.notchSize = {184, 8};
    geometry.notchOrigin = {kScreenWidth / 2.0 - 92, 892};
    SettingsStore settings{std::make_shared<InMemoryUserDefaults>()};
    ManualClock clock;
    ManualScheduler scheduler{clock};
    QtTextMeasurer measurer;
    NotchViewModel model(geometry, settings, platform, scheduler, clock, measurer);
    model.send(NotchEvent::activityArrived(ActivityPayload(
        Uuid::random(), ActivityKind::nowPlaying, ActivityPriority::ambient, std::nullopt, ActivityGlyph::none(),
        "Harbour Lights", "The Quiet Coast", ActivityTrailing::waveform(true), std::chrono::hours(24), std::nullopt,
        clock.now())));
    scheduler.advance(2s);
    const Size canvas = model.currentCanvasSize();
    return {int(std::ceil(canvas.width)), int(std::ceil(canvas.height))};
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--draw") != 0)
            continue;
        if (std::strcmp(argv[i + 1], "app") == 0)
            return drawApp(argc, argv);
        QSize size(400, 44);
        for (int j = 1; j + 1 < argc; ++j)
            if (std::strcmp(argv[j], "--size") == 0) {
                const QList<QByteArray> parts = QByteArray(argv[j + 1]).split('x');
                if (parts.size() == 2)
                    size = QSize(parts[0].toInt(), parts[1].toInt());
            }
        return drawPeer(argc, argv, size, std::strcmp(argv[i + 1], "leanpeer") == 0);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    g_canvas = ambientCanvas();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
