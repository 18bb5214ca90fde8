#include "VudeServices/ScreenCoordinates.h"

#include <algorithm>

ScreenCoordinates ScreenCoordinates::forScreens(const std::vector<ScreenDescription>& screens)
{
    const auto primary = std::ranges::find_if(screens, &ScreenDescription::isPrimary);
    if (primary != screens.end())
        return ScreenCoordinates(primary->frame);
    return ScreenCoordinates(screens.empty() ? Rect{} : screens.front().frame);
}
