#include "Vude/Desk/TodoLayout.h"

#include <algorithm>

std::vector<TodoSnapshot> TodoLayout::ordered(std::vector<TodoSnapshot> items)
{
    std::ranges::stable_sort(items, [](const TodoSnapshot& a, const TodoSnapshot& b) {
        if (a.isDone != b.isDone)
            return !a.isDone;
        if (a.isFavorite != b.isFavorite)
            return a.isFavorite;
        return a.createdAt > b.createdAt;
    });
    return items;
}

int TodoLayout::remaining(const std::vector<TodoSnapshot>& items)
{
    return int(std::ranges::count_if(items, [](const TodoSnapshot& item) { return !item.isDone; }));
}

std::optional<QString> TodoLayout::countText(int remaining, const QLocale& locale)
{
    if (remaining < 1)
        return std::nullopt;
    if (remaining == 1)
        return QStringLiteral("1 left");
    return locale.toString(remaining) + QStringLiteral(" left");
}

double TodoRowLayout::height(double lineHeight)
{
    return std::max({checkSize, buttonSize, lineHeight}) + 2 * paddingY;
}

TodoRowLayout TodoRowLayout::layout(const Input& input)
{
    TodoRowLayout layout;
    const double middle = input.bounds.height / 2;
    const auto centred = [middle](double x, double size) { return Rect{x, middle - size / 2, size, size}; };

    layout.check = centred(paddingX, checkSize);
    double trailing = input.bounds.width - paddingX;
    if (input.showsCross) {
        layout.cross = centred(trailing - buttonSize, buttonSize);
        trailing -= buttonSize + spacing;
    }
    if (input.showsStar) {
        layout.star = centred(trailing - buttonSize, buttonSize);
        trailing -= buttonSize + spacing;
    }
    // The gap before the buttons (or the padding) keeps its spacing too.
    const double titleLeft = layout.check.maxX() + spacing;
    const double room = std::max(0.0, trailing - minimumGap - spacing - titleLeft);
    layout.title = {titleLeft, 0, std::min(input.titleWidth, room), input.bounds.height};
    return layout;
}
