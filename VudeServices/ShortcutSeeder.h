#pragma once
// Picking the first shortcuts for the Desk, and a symbol for any shortcut
// from its name. Stateless.

#include "VudeServices/ShortcutEntry.h"

#include <array>
#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct ShortcutSeeder {
    /// The most entries one seeding returns.
    static constexpr std::size_t limit = 4;

    struct KeywordSymbol {
        std::string_view keyword;
        std::string_view symbol;
    };
    /// Tried in order: the first keyword a name holds gives its symbol, so
    /// "screen record" wins over "record", and "air" also catches "Repair".
    static const std::array<KeywordSymbol, 55> symbolTable;
    /// The symbol of a name no keyword matches.
    static constexpr std::string_view defaultSymbol = "sparkles";
    /// The names picked first, in this order.
    static const std::array<std::string_view, 24> priorityKeywords;

    /// The symbol for a shortcut's name: letter case is ignored.
    static std::string symbol(std::string_view name);

    /// Up to `limit` new entries for the names of `available` that are not in
    /// `existing` (texts compared case-sensitively, canonically equivalent
    /// spellings equal): first those holding a priority keyword, keyword by
    /// keyword, then the rest by name, ignoring case. Each gets a fresh id,
    /// its name, the symbol for it and no custom name or input.
    static std::vector<ShortcutEntry> seed(const std::vector<std::string>& available,
                                           const std::set<std::string>& existing);
};
