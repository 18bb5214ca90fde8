#pragma once
// Text widths from the font engine, in the same fonts the views draw with
// (systemFont), rounded up to a whole point so text never clips.

#include "VudeUI/TextMeasurer.h"

class QtTextMeasurer final : public TextMeasurer {
public:
    double width(std::string_view utf8Text, double size, Vude::FontWeight weight) const override;
};
