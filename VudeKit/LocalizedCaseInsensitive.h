#pragma once
// Comparing names as people read them, without regard to letter case: lists
// of applications, shortcuts and calendars, and finding a word in a name.

#include <string_view>

/// Negative, zero or positive as `a` sorts before, with or after `b` (UTF-8),
/// in the process's locale; case does not count, accents do. The POSIX
/// locale ("C") compares by the root collation. Thread-safe.
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);

/// As localizedCaseInsensitiveCompare, and runs of digits compare by their
/// numeric value, so "Work 2" comes before "Work 10" (the order file
/// managers show). Thread-safe.
int localizedStandardCompare(std::string_view a, std::string_view b);

/// Whether `text` holds `part` (UTF-8), letter case folded away and
/// canonically equivalent spellings (a precomposed accent or a combining one)
/// taken as the same. Case folding is the same in every locale, so "TIMER"
/// holds "timer" in a Turkish session too. An empty `part` is held by every
/// text.
bool localizedCaseInsensitiveContains(std::string_view text, std::string_view part);
