#pragma once
// Access answers a test sets, and a record of what was asked.

#include "Platform/Input/InputAccessProbe.h"

#include <vector>

class FakeInputAccessProbe final : public InputAccessProbe {
public:
    InputMonitoringAccess monitoring = InputMonitoringAccess::granted;
    bool interceptable = true;

    /// The symbols of every canIntercept() call, in order.
    std::vector<std::vector<KeySymbol>> interceptProbes;

    InputMonitoringAccess inputMonitoring() override { return monitoring; }
    bool canIntercept(std::span<const KeySymbol> symbols) override
    {
        interceptProbes.emplace_back(symbols.begin(), symbols.end());
        return interceptable;
    }
};
