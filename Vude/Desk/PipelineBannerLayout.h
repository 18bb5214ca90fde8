#pragma once
// What the pipeline banner over the tray shows for the runner's state: a
// bar and the run's title (and detail) while it runs, a check and the
// result's summary when it ends well, with "Undo" only when the run
// produced files, a warning and the message when it fails, and nothing at
// all when idle. Texts are shown verbatim.
//
// Pure: PipelineBanner measures and paints what this says.

#include "VudeServices/PipelineRunState.h"
#include "VudeUI/Tokens.h"

#include <string>

struct PipelineBannerLayout {
    static constexpr double paddingX = 10;
    static constexpr double paddingY = 6;
    static constexpr double cornerRadius = 8;
    static constexpr double spacing = 8;
    static constexpr double barWidth = 90;
    static constexpr double barHeight = 4;
    static constexpr double symbolSize = 11;
    static constexpr double titleSize = 10;
    static constexpr double detailSize = 9;
    /// A failure's message wraps to at most this many lines.
    static constexpr int messageLines = 2;
    static constexpr const char* undoTitle = "Undo";

    enum class Kind { idle, running, finished, failed };

    Kind kind = Kind::idle;
    /// The running bar's value, 0...1.
    double fraction = 0;
    /// The finished or failed state's symbol, and its colour.
    std::string symbol;
    Vude::Color symbolColor{0};
    /// The run's title, the result's summary or the failure's message.
    std::string text;
    /// The running state's detail; empty when there is none to show.
    std::string detail;
    bool showsUndo = false;

    /// An idle banner takes no space.
    bool takesSpace() const { return kind != Kind::idle; }

    static PipelineBannerLayout of(const PipelineRunState& state);
};
