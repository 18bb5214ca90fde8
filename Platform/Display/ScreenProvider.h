#pragma once
// The screens as the notch shell and the notch geometry see them, and a signal
// when any of them changes (added, removed, moved, resized, primary changed).
//   QtScreenProvider    the windowing system's screens through QScreen
//   FakeScreenProvider  screens set by hand (tests)
// Rectangles are in Qt's global coordinates: origin at the top left of the
// virtual desktop, y growing downward, in logical pixels.

#include "VudeKit/Geometry.h"

#include <QObject>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ScreenDescription {
    /// The output's name ("eDP-1", "HDMI-1"); "" when the screen has none.
    std::string name{};
    /// Stable for the output across runs, derived from `name`; 0 only when the
    /// screen has no name (`displayNumberFor`).
    std::uint32_t displayNumber = 0;
    Rect frame{};
    /// The frame less the desktop's panels and docks.
    Rect visibleFrame{};
    /// The height of a camera housing at the top; Linux screens have none, but
    /// the geometry is measured through the same inputs a notched screen gives.
    double safeAreaTop = 0;
    /// The free areas left and right of a camera housing; absent on Linux.
    std::optional<Rect> auxiliaryTopLeftArea{};
    std::optional<Rect> auxiliaryTopRightArea{};
    double backingScale = 1;
    int maximumFramesPerSecond = 60;
    bool isPrimary = false;

    bool operator==(const ScreenDescription&) const = default;
};

/// A stable non-zero 32-bit number for an output name (FNV-1a); 0 for "".
std::uint32_t displayNumberFor(std::string_view outputName);

class ScreenProvider : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Every screen now, the primary first. Main thread.
    virtual std::vector<ScreenDescription> screens() const = 0;

    /// The screen whose frame holds `point` (Qt global coordinates), if any.
    std::optional<ScreenDescription> screenAt(Point point) const;
    /// The primary screen, else the first one, if there is any screen at all.
    std::optional<ScreenDescription> primaryScreen() const;

signals:
    /// Something about the set of screens changed; read `screens()` again.
    void screensChanged();
};

class QtScreenProvider final : public ScreenProvider {
    Q_OBJECT
public:
    /// Needs a QGuiApplication.
    explicit QtScreenProvider(QObject* parent = nullptr);

    std::vector<ScreenDescription> screens() const override;

private:
    void watch(class QScreen* screen);
};

class FakeScreenProvider final : public ScreenProvider {
    Q_OBJECT
public:
    using ScreenProvider::ScreenProvider;

    std::vector<ScreenDescription> screens() const override { return m_screens; }

    /// Replaces the screens and emits `screensChanged`.
    void setScreens(std::vector<ScreenDescription> screens);

private:
    std::vector<ScreenDescription> m_screens;
};
