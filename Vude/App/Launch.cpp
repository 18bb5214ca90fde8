#include "Vude/App/Launch.h"

namespace Launch {

namespace {

bool isX11(const std::string& platform)
{
    return platform == "xcb";
}

std::string displayOf(const Environment::Lookup& environment)
{
    return environment("DISPLAY").value_or("");
}

} // namespace

std::string platformName(const Environment::Lookup& environment)
{
    const std::string chosen = environment("QT_QPA_PLATFORM").value_or("");
    // "a;b" lists fallbacks in order, "name:key=value" adds options.
    const std::string first = chosen.substr(0, chosen.find(';'));
    const std::string name = first.substr(0, first.find(':'));
    return name.empty() ? kDefaultPlatform : name;
}

std::optional<std::string> missingDisplayLine(const std::string& platform, const Environment::Lookup& environment,
                                              const DisplayProbe& canOpenX11Display)
{
    if (!isX11(platform))
        return std::nullopt;
    const std::string display = displayOf(environment);
    if (display.empty())
        return "vude: no display found (DISPLAY is not set); start it from a desktop session";
    if (!canOpenX11Display(display))
        return "vude: no display found: cannot open the X display \"" + display + "\"";
    return std::nullopt;
}

std::string runningLine(const std::string& platform, const Environment::Lookup& environment)
{
    const std::string where = isX11(platform) ? "display " + displayOf(environment) : "the " + platform + " platform";
    return "Vude is running on " + where + "; quit with Ctrl-C";
}

} // namespace Launch
