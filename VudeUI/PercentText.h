#pragma once
// The text of a percent accessory: a fraction times 100 as a whole number
// followed by "%". Shared by the pill that draws it and the metrics that
// measure it, so both always agree.

#include <string>

/// 0.456 reads "45%", 0.29 "29%", 0.999 "99%", -0.29 "-29%". The product is
/// truncated toward zero after a nudge of a few ulps away from zero, so
/// fractions such as 0.29 (28.999999999999996 in binary) read as written.
/// NaN and infinities read "0%"; values beyond 64 bits saturate.
std::string percentText(double fraction);
