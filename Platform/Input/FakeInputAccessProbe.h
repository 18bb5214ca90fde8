#pragma once
// Access answers a test sets, and a record of what was asked.

#include "Platform/Input/InputAccessProbe.h"

#include <set>
#include <vector>

class FakeInputAccessProbe final : public InputAccessProbe {
public:
    InputMonitoringAccess monitoring = InputMonitoringAccess::granted;
    bool interceptable = true;
    /// The keys another program holds.
    std::set<KeySymbol> heldElsewhere;

    /// The symbols of every canIntercept() call, in order.
    std::vector<std::vector<KeySymbol>> interceptProbes;
    /// The symbols of every isHeldByAnotherProgram() call, in order.
    std::vector<std::vector<KeySymbol>> heldProbes;

    InputMonitoringAccess inputMonitoring() override { return monitoring; }
    bool canIntercept(std::span<const KeySymbol> symbols) override
    {
        interceptProbes.emplace_back(symbols.begin(), symbols.end());
        return interceptable;
    }
    bool isHeldByAnotherProgram(std::span<const KeySymbol> symbols) override
    {
        heldProbes.emplace_back(symbols.begin(), symbols.end());
        for (KeySymbol symbol : symbols)
            if (heldElsewhere.contains(symbol))
                return true;
        return false;
    }
};
