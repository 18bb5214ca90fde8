#pragma once
// The design tokens every view draws with: colour ramps, type, corner radii,
// layout metrics and motion. Plain constants with no Qt in them, so layout and
// animation decisions can be tested headless; VudeUI/qt/ turns them into
// QColor, QFont and running animations.

#include "VudeKit/ActivityModels.h"
#include "VudeKit/Date.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/SettingEnums.h"

#include <chrono>
#include <cstdint>

namespace Vude {

/// An sRGB colour: red, green and blue are bits 16-23, 8-15 and 0-7 of `hex`.
class Color {
public:
    constexpr explicit Color(std::uint32_t hex, double opacity = 1.0)
        : m_hex(hex & 0xFFFFFFu), m_opacity(opacity)
    {
    }

    constexpr std::uint32_t hex() const { return m_hex; }
    constexpr int red255() const { return static_cast<int>((m_hex >> 16) & 0xFF); }
    constexpr int green255() const { return static_cast<int>((m_hex >> 8) & 0xFF); }
    constexpr int blue255() const { return static_cast<int>(m_hex & 0xFF); }
    /// Components in 0...1.
    constexpr double red() const { return red255() / 255.0; }
    constexpr double green() const { return green255() / 255.0; }
    constexpr double blue() const { return blue255() / 255.0; }
    constexpr double opacity() const { return m_opacity; }

    constexpr Color withOpacity(double opacity) const { return Color(m_hex, opacity); }

    constexpr bool operator==(const Color&) const = default;

private:
    std::uint32_t m_hex;
    double m_opacity;
};

/// The dark ramp, darkest first.
namespace Ink {
inline constexpr Color x1000{0x000000};
inline constexpr Color x950{0x0B0A09};
inline constexpr Color x900{0x131110};
inline constexpr Color x850{0x1A1817};
inline constexpr Color x800{0x221F1D};
inline constexpr Color x700{0x2E2A27};
inline constexpr Color x600{0x3D3835};
inline constexpr Color x500{0x55504B};
} // namespace Ink

/// Warm greys.
namespace Stone {
inline constexpr Color x100{0xEFEAE3};
inline constexpr Color x200{0xCFC8BF};
inline constexpr Color x300{0xA8A099};
inline constexpr Color x400{0x7B736C};
} // namespace Stone

/// Light surfaces.
namespace Paper {
inline constexpr Color x50{0xFAF7F2};
inline constexpr Color x100{0xF2EDE5};
inline constexpr Color x200{0xE4DDD2};
inline constexpr Color x900{0x211E1B};
} // namespace Paper

namespace Accent {
inline constexpr Color x700{0x9A948A};
inline constexpr Color x600{0xD6CFC2};
inline constexpr Color x500{0xEDE6DA};
inline constexpr Color x400{0xFFFAF2};
inline constexpr Color x300{0xFFFDF8};
inline constexpr Color tint{0xEDE6DA, 0.12};
/// Text and symbols drawn on an accent fill.
inline constexpr Color on{0x000000};
} // namespace Accent

namespace Semantic {
inline constexpr Color sage{0x6F8A62};
inline constexpr Color amber{0xB08641};
inline constexpr Color oxblood{0x8E3A37};
inline constexpr Color slate{0x64707E};
} // namespace Semantic

/// The hairline drawn around the notch and artwork.
inline constexpr Color contrastOutline{0xEFEAE3, 0.08};

/// The colour of a tint: the one table the pill's tinted glyphs and the
/// settings sidebar both use.
constexpr Color color(TintName tint)
{
    switch (tint) {
    case TintName::brass:
        return Accent::x500;
    case TintName::sage:
        return Semantic::sage;
    case TintName::amber:
        return Semantic::amber;
    case TintName::oxblood:
        return Semantic::oxblood;
    case TintName::slate:
        return Semantic::slate;
    case TintName::stone:
        return Stone::x100;
    }
    return Stone::x100;
}

/// A symbol drawn on a tile of a tint: white, but black on the two light
/// tints (the accent and stone), where white would barely show.
constexpr Color onColor(TintName tint)
{
    switch (tint) {
    case TintName::brass:
    case TintName::stone:
        return Accent::on;
    case TintName::sage:
    case TintName::amber:
    case TintName::oxblood:
    case TintName::slate:
        break;
    }
    return Color{0xFFFFFF};
}

enum class FontWeight { regular, medium, semibold, bold };

/// `standard` is the system font's default design.
enum class FontDesign { standard, rounded, monospaced };

/// A font of the system family. Sizes are logical pixels (the design's points).
struct FontToken {
    double size;
    FontWeight weight;
    FontDesign design = FontDesign::standard;
    bool monospacedDigits = false;

    constexpr bool operator==(const FontToken&) const = default;
};

namespace Type_ {
inline constexpr FontToken activityTitle{13, FontWeight::semibold};
inline constexpr FontToken activitySubtitle{11, FontWeight::regular};
inline constexpr FontToken widgetHeader{11, FontWeight::semibold};
inline constexpr FontToken mediaTitle{14, FontWeight::semibold};
inline constexpr FontToken mediaArtist{12, FontWeight::regular};
inline constexpr FontToken timerDigits{34, FontWeight::medium, FontDesign::rounded, true};
inline constexpr FontToken numeric{11, FontWeight::medium, FontDesign::monospaced};
inline constexpr FontToken settingsSection{11, FontWeight::semibold};
inline constexpr FontToken settingsRow{13, FontWeight::regular};
inline constexpr FontToken settingsFootnote{11, FontWeight::regular};
} // namespace Type_

/// Corner radii in points.
namespace Radius {
inline constexpr double notchTop = 6;
inline constexpr double notchBottomClosed = 14;
inline constexpr double notchBottomOpen = 34;
inline constexpr double widgetCard = 12;
inline constexpr double button = 8;
inline constexpr double settingsCard = 10;
inline constexpr double trayThumbnail = 8;
} // namespace Radius

/// Layout metrics in points.
namespace Metric {
/// One Desk widget cell.
inline constexpr double cellWidth = 54;
/// Between Desk widgets.
inline constexpr double cellGap = 22;
inline constexpr double activityHeight = 32;
inline constexpr double activityExpandedHeight = 48;
inline constexpr double peekHeight = 20;
/// The open Desk.
inline constexpr double ravoHeight = 176;
inline constexpr double maxRavoWidth = 1100;
inline constexpr double hoverInset = 6;
} // namespace Metric

/// How a change moves: a spring (response and damping fraction), an
/// ease-in-out or a linear ramp. A ramp of zero duration shows the change at once.
struct Animation {
    enum class Curve { spring, easeInOut, linear };

    Curve curve;
    /// Springs: the period of the undamped oscillation. Ramps: unused.
    Duration response{};
    /// Springs: 1 is critically damped, below 1 overshoots.
    double dampingFraction = 1;
    Duration blendDuration{};
    /// Ramps: how long the change takes. Springs: unused (they settle).
    Duration duration{};

    static constexpr Animation spring(Duration response, double dampingFraction, Duration blend = Duration::zero())
    {
        return Animation{Curve::spring, response, dampingFraction, blend, Duration::zero()};
    }
    static constexpr Animation easeInOut(Duration duration)
    {
        return Animation{Curve::easeInOut, Duration::zero(), 1, Duration::zero(), duration};
    }
    static constexpr Animation linear(Duration duration)
    {
        return Animation{Curve::linear, Duration::zero(), 1, Duration::zero(), duration};
    }

    /// True when the change shows at once: a ramp of no length, or a spring
    /// without a positive response.
    constexpr bool isInstant() const
    {
        return curve == Curve::spring ? response <= Duration::zero() : duration <= Duration::zero();
    }

    constexpr bool operator==(const Animation&) const = default;
};

/// The HUD animation speed; mirrors the `HUDSpeed` setting case for case.
enum class HUDSpeed { smooth, fast, instant };

/// The token speed of the setting of the same name.
constexpr HUDSpeed hudSpeed(::HUDSpeed setting)
{
    switch (setting) {
    case ::HUDSpeed::smooth:
        return HUDSpeed::smooth;
    case ::HUDSpeed::fast:
        return HUDSpeed::fast;
    case ::HUDSpeed::instant:
        return HUDSpeed::instant;
    }
    return HUDSpeed::fast;
}

namespace Motion {
using namespace std::chrono_literals;

inline constexpr Animation open = Animation::spring(420ms, 0.78);
inline constexpr Animation close = Animation::spring(340ms, 0.86);
inline constexpr Animation activityIn = Animation::spring(360ms, 0.72);
inline constexpr Animation activityOut = Animation::spring(280ms, 0.9);
inline constexpr Animation morph = Animation::spring(320ms, 0.85);
inline constexpr Animation hover = Animation::spring(250ms, 0.85);

/// What every animation becomes while the desktop asks for reduced motion.
inline constexpr Animation reducedMotion = Animation::easeInOut(200ms);

constexpr Animation hud(HUDSpeed speed)
{
    switch (speed) {
    case HUDSpeed::smooth:
        return Animation::spring(500ms, 0.85);
    case HUDSpeed::fast:
        return Animation::spring(280ms, 0.85);
    case HUDSpeed::instant:
        return Animation::linear(Duration::zero());
    }
    return Animation::spring(280ms, 0.85);
}

/// `animation`, or the short ease when `reduceMotion` holds. The caller reads
/// the desktop's setting at every call (ReduceMotionSetting), so a change
/// applies to the next animation.
constexpr Animation respectingReduceMotion(const Animation& animation, bool reduceMotion)
{
    return reduceMotion ? reducedMotion : animation;
}
} // namespace Motion

} // namespace Vude

template <>
struct EnumTraits<Vude::HUDSpeed> {
    static constexpr std::array cases{
        EnumCase{Vude::HUDSpeed::smooth, "smooth"},
        EnumCase{Vude::HUDSpeed::fast, "fast"},
        EnumCase{Vude::HUDSpeed::instant, "instant"},
    };
};
