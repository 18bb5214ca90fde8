#include "VudeServices/VudeFocusFilter.h"

VudeFocusFilter::DisplayRepresentation VudeFocusFilter::displayRepresentation() const
{
    return {modeName.value_or("Focus"), showInNotch ? "Shown in the notch" : "Hidden"};
}

void VudeFocusFilter::perform(FocusFilterBridge& bridge) const
{
    if (showInNotch)
        bridge.apply(modeName, symbolName);
    else
        bridge.apply(std::nullopt, std::nullopt);
}
