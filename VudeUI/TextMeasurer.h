#pragma once
// Measures text set in the system font, so layout code can size things
// without a font engine. The app uses QtTextMeasurer; tests use a fake.

#include "VudeUI/Tokens.h"

#include <string_view>

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    /// The advance width in points of `utf8Text` set in the system font at
    /// `size` points and `weight`.
    virtual double width(std::string_view utf8Text, double size, Vude::FontWeight weight) const = 0;
};
