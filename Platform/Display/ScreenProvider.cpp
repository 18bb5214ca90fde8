#include "Platform/Display/ScreenProvider.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

std::uint32_t displayNumberFor(std::string_view outputName)
{
    if (outputName.empty())
        return 0;
    std::uint32_t hash = 2166136261u;
    for (unsigned char byte : outputName) {
        hash ^= byte;
        hash *= 16777619u;
    }
    // 0 means "no display number", so a name that hashes to it takes 1.
    return hash == 0 ? 1 : hash;
}

std::optional<ScreenDescription> ScreenProvider::screenAt(Point point) const
{
    for (const ScreenDescription& screen : screens()) {
        if (screen.frame.contains(point))
            return screen;
    }
    return std::nullopt;
}

std::optional<ScreenDescription> ScreenProvider::primaryScreen() const
{
    const std::vector<ScreenDescription> all = screens();
    for (const ScreenDescription& screen : all) {
        if (screen.isPrimary)
            return screen;
    }
    if (all.empty())
        return std::nullopt;
    return all.front();
}

namespace {

Rect toRect(const QRect& rect)
{
    return {double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())};
}

ScreenDescription describe(const QScreen& screen, bool isPrimary)
{
    ScreenDescription description;
    description.name = screen.name().toStdString();
    description.displayNumber = displayNumberFor(description.name);
    description.frame = toRect(screen.geometry());
    description.visibleFrame = toRect(screen.availableGeometry());
    description.backingScale = screen.devicePixelRatio();
    const double refreshRate = screen.refreshRate();
    description.maximumFramesPerSecond =
        std::isfinite(refreshRate) && refreshRate >= 1 && refreshRate < 1000 ? int(std::lround(refreshRate)) : 60;
    description.isPrimary = isPrimary;
    return description;
}

} // namespace

QtScreenProvider::QtScreenProvider(QObject* parent) : ScreenProvider(parent)
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        emit screensChanged();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &ScreenProvider::screensChanged);
    connect(app, &QGuiApplication::primaryScreenChanged, this, &ScreenProvider::screensChanged);
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
}

void QtScreenProvider::watch(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, &ScreenProvider::screensChanged);
    connect(screen, &QScreen::availableGeometryChanged, this, &ScreenProvider::screensChanged);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, &ScreenProvider::screensChanged);
    connect(screen, &QScreen::refreshRateChanged, this, &ScreenProvider::screensChanged);
}

std::vector<ScreenDescription> QtScreenProvider::screens() const
{
    std::vector<ScreenDescription> result;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        result.push_back(describe(*primary, true));
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary)
            result.push_back(describe(*screen, false));
    }
    return result;
}

void FakeScreenProvider::setScreens(std::vector<ScreenDescription> screens)
{
    m_screens = std::move(screens);
    emit screensChanged();
}
