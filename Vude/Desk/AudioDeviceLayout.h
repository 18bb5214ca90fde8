#pragma once
// How a row of the sound output widget reads: the symbol of the output's
// connection, the colours and weight that mark the default output, its
// check mark, the hover highlight (never on the default row: choosing it
// again changes nothing) and the help text.

#include "VudeServices/AudioState.h"
#include "VudeUI/Tokens.h"

#include <optional>
#include <string>
#include <string_view>

struct AudioDeviceLayout {
    static constexpr double symbolSize = 11;
    static constexpr double nameSize = 11;
    static constexpr double checkmarkSize = 9;
    static constexpr double cornerRadius = 6;
    static constexpr double rowSpacing = 2;

    struct Look {
        Vude::Color symbol;
        Vude::Color name;
        Vude::FontWeight weight = Vude::FontWeight::regular;
        bool checkmark = false;
        /// None: nothing behind the row.
        std::optional<Vude::Color> background;
    };

    static std::string_view symbol(AudioState::Transport transport);
    static Look look(bool isDefault, bool hovering);
    /// "Speakers — current output", "Switch to Headphones".
    static std::string helpText(const AudioOutputDevice& device);
};
