#include "Platform/Input/InputAccessProbe.h"

namespace {

// A session without a display: nothing to read, nothing to take.
class DisplaylessProbe final : public InputAccessProbe {
public:
    InputMonitoringAccess inputMonitoring() override { return InputMonitoringAccess::unknown; }
    bool canIntercept(std::span<const KeySymbol>) override { return false; }
    bool isHeldByAnotherProgram(std::span<const KeySymbol>) override { return false; }
};

std::shared_ptr<InputAccessProbe>& standardSlot()
{
    static std::shared_ptr<InputAccessProbe> slot;
    return slot;
}

} // namespace

std::shared_ptr<InputAccessProbe> InputAccessProbe::standard()
{
    auto& slot = standardSlot();
    if (!slot)
        slot = std::make_shared<DisplaylessProbe>();
    return slot;
}

void InputAccessProbe::installStandard(std::shared_ptr<InputAccessProbe> probe)
{
    standardSlot() = std::move(probe);
}
