#include "Vude/Desk/TrayLayout.h"

#include "VudeKit/LinuxTexts.h"
#include "VudeKit/Numbers.h"

#include <algorithm>

std::string TrayLayout::countText(std::size_t count)
{
    if (count == 1)
        return "1 item";
    return formatInteger(std::int64_t(count)) + " items";
}

std::string TrayLayout::hintText(bool copyByDefault)
{
    return copyByDefault ? "drag out to copy" : "drag out to move";
}

std::string TrayLayout::chipHelp(const std::string& displayName, bool copyByDefault)
{
    const std::string_view tail = copyByDefault ? LinuxTexts::trayChipHelpCopy.shown : LinuxTexts::trayChipHelpMove.shown;
    return displayName + std::string(tail);
}

std::string TrayLayout::allChipHelp(std::size_t count)
{
    return "Drag all " + formatInteger(std::int64_t(count)) + " items out together";
}

std::string TrayLayout::allChipLabel(std::size_t count)
{
    return "All " + formatInteger(std::int64_t(count));
}

std::vector<TrayLayout::Card> TrayLayout::cards(std::size_t count)
{
    std::vector<Card> cards;
    for (std::size_t i = 0; i < std::min(count, maxCards); ++i) {
        const double step = double(i) - 1;
        cards.push_back({step * cardTiltDegrees, step * cardShift});
    }
    return cards;
}

TrayLayout::Row TrayLayout::row(const std::vector<Size>& chips, Size viewport)
{
    Row row;
    double tallest = moreHeight;
    for (const Size& chip : chips)
        tallest = std::max(tallest, chip.height);
    const double height = std::max(viewport.height, tallest + 2 * rowPaddingY);
    const double middle = height / 2;
    double x = rowPaddingX;
    for (const Size& chip : chips) {
        row.chips.push_back({x, middle - chip.height / 2, chip.width, chip.height});
        x += chip.width + chipSpacing;
    }
    // The zone stretches to the viewport's end; the row scrolls once the
    // chips leave it less than its minimum.
    const double moreWidth = std::max(moreMinimumWidth, viewport.width - rowPaddingX - x);
    row.more = {x, middle - moreHeight / 2, moreWidth, moreHeight};
    row.content = {std::max(viewport.width, x + moreWidth + rowPaddingX), height};
    return row;
}
