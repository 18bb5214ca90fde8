#pragma once
// What the notch shows while files are dragged over it: the open area split
// into equal side-by-side lanes, one per place the drop can go, the lane
// under the pointer lit and grown, and the number of files at the bottom.
// The tray ("shelf") and the sharing lane are destinations, drawn larger
// and brighter than the pipeline lanes.
//
// Pure: the painter (DropLanes) hands in the bounds, the lanes and each
// lane's hover progress (0 at rest, 1 lit; the hover spring moves it) and
// draws what comes back. The lanes share the width exactly as the view
// model's lane(at:width:) divides it, so the lit lane is the one a drop
// goes to.

#include "VudeKit/Geometry.h"
#include "VudeKit/PipelineID.h"
#include "VudeUI/Tokens.h"

#include <optional>
#include <string>
#include <vector>

struct DropLanesLayout {
    /// The background sits this far inside its cell.
    static constexpr double backgroundInset = 3;
    static constexpr double cornerRadius = 11;
    static constexpr double hoveredScale = 1.06;
    /// Between the symbol and the label.
    static constexpr double spacing = 5;
    /// The label shrinks to this much of its size before it is cut.
    static constexpr double labelMinimumScale = 0.75;
    /// The tray lane's dashed border at rest.
    static constexpr double dashLineWidth = 1.5;
    static constexpr double dashOn = 6;
    static constexpr double dashOff = 4;
    static constexpr double countSize = 8;
    static constexpr double countBottomPadding = 2;

    enum class Background {
        /// A pipeline lane at rest.
        none,
        /// The tray at rest: a dashed border.
        dashed,
        /// The sharing lane at rest.
        filled,
    };

    struct Cell {
        /// The lane's share of the width, the whole height.
        Rect frame;
        /// Where its background goes: the frame less the inset.
        Rect background;
        bool isHovered = false;
        bool isDestination = false;
        Background rest = Background::none;
        /// 0 at rest ... 1 lit.
        double hover = 0;
        /// About the frame's centre.
        double scale = 1;
        std::string symbol;
        std::string label;
        double symbolSize = 0;
        /// The symbol's box height.
        double symbolFrame = 0;
        double labelSize = 0;
        Vude::FontWeight labelWeight = Vude::FontWeight::medium;
        double horizontalPadding = 0;
        Vude::Color foreground{0};
    };

    std::vector<Cell> cells;
    std::string fileCount;

    /// "1 file", else "<count> files" (0 included).
    static std::string fileCountText(long long count);
    /// `hovered` when it names one of `laneCount` lanes; none otherwise.
    static std::optional<std::size_t> hoveredIndex(std::optional<int> hovered, std::size_t laneCount);
    /// The lanes in `bounds`. `progress` gives each lane's hover progress;
    /// when it has another length, the hovered lane counts as lit and the
    /// others at rest.
    static DropLanesLayout layout(const Rect& bounds, const std::vector<DropLane>& lanes, std::optional<int> hovered,
                                  long long fileCount, const std::vector<double>& progress = {});
};
