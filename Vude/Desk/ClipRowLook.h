#pragma once
// How a row of the clipboard widget reads: the kind's symbol and the clip's
// one-line preview, or a check mark and "Copied" for a moment after the row
// was clicked; its colours, its hover background and when its remove cross
// shows; and its tooltip (the preview for text, the clip's full text for the
// other kinds).

#include "Vude/Shell/NotchDeskServices.h"
#include "VudeUI/Tokens.h"

#include <optional>
#include <string>
#include <string_view>

struct ClipRowLook {
    static constexpr double symbolSize = 10;
    static constexpr double textSize = 11;
    static constexpr double removeSize = 8;
    static constexpr double cornerRadius = 6;

    std::string_view symbol;
    std::string text;
    Vude::Color symbolColor = Vude::Stone::x400;
    Vude::Color textColor = Vude::Stone::x100;
    /// None: nothing behind the row.
    std::optional<Vude::Color> background;
    bool showsRemove = false;

    static ClipRowLook of(const NotchClip& clip, bool hovering, bool justCopied);
    static std::string_view kindSymbol(Clip::Kind kind);
    static std::string toolTip(const NotchClip& clip);
};
