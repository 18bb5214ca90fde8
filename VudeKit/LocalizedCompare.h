#pragma once
// The order people expect in lists of names: the user's locale, letters
// compared without regard to case, and runs of digits by their numeric value,
// so "Work 2" comes before "Work 10".

#include <string_view>

/// Negative, zero or positive as `a` sorts before, with or after `b` (UTF-8).
/// Uses the process's default locale; the POSIX locale ("C") compares by the
/// root collation, since its own tailoring orders capitals before every
/// lower-case letter. Thread-safe.
int localizedStandardCompare(std::string_view a, std::string_view b);
