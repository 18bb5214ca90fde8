#pragma once
// What the to-do widget decides, as plain values: the order of the list, the
// count of what is left, and where a row's parts go.

#include "VudeKit/Geometry.h"
#include "VudeSync/Snapshots.h"

#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

struct TodoLayout {
    /// Open before done; among those, favourites first; then newest first.
    /// Stable: tasks equal on all three keep the order they came in.
    static std::vector<TodoSnapshot> ordered(std::vector<TodoSnapshot> items);
    /// The tasks not done.
    static int remaining(const std::vector<TodoSnapshot>& items);
    /// "1 left", "2 left"...; none when nothing is left.
    static std::optional<QString> countText(int remaining, const QLocale& locale = QLocale());
};

/// Where a task's row puts its check button, its title, its star and its
/// cross: the check at the leading edge, the title after it, the buttons at
/// the trailing edge, and between them a gap of at least 4. A title too long
/// for what is left is cut; the buttons never move for it.
struct TodoRowLayout {
    static constexpr double paddingX = 8;
    static constexpr double paddingY = 6;
    static constexpr double spacing = 9;
    static constexpr double minimumGap = 4;
    static constexpr double checkSize = 20;
    static constexpr double buttonSize = 18;

    struct Input {
        Size bounds;
        /// The title's width on one line, uncut.
        double titleWidth = 0;
        bool showsStar = false;
        bool showsCross = false;
    };

    Rect check;
    /// The room the title is drawn in (its own width at most).
    Rect title;
    std::optional<Rect> star;
    std::optional<Rect> cross;

    /// The row's height for a title line `lineHeight` high.
    static double height(double lineHeight);
    static TodoRowLayout layout(const Input& input);
};
