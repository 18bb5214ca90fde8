// The to-do widget's decisions: the order of the list, the count of what is
// left and where a row's parts go.
#include "Vude/Desk/TodoLayout.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TodoSnapshot task(std::string title, bool done, bool favourite, int minute)
{
    return {Uuid::random(), std::move(title), done, favourite, kReferenceDate + std::chrono::minutes(minute)};
}

std::vector<std::string> titles(const std::vector<TodoSnapshot>& items)
{
    std::vector<std::string> shown;
    for (const TodoSnapshot& item : items)
        shown.push_back(item.title);
    return shown;
}

TEST(TodoLayoutTest, OpenBeforeDoneThenFavouritesThenNewestFirstKeepingTiesInOrder)
{
    const struct Row {
        const char* why;
        std::vector<TodoSnapshot> items;
        std::vector<std::string> expected;
    } rows[] = {
        {"open before done, whatever the age", {task("done", true, false, 9), task("open", false, false, 1)},
         {"open", "done"}},
        {"two open favourites: the newer first; a plain open task after both",
         {task("plain", false, false, 9), task("old star", false, true, 1), task("new star", false, true, 5)},
         {"new star", "old star", "plain"}},
        {"a done favourite after every open task",
         {task("done star", true, true, 9), task("open", false, false, 1)}, {"open", "done star"}},
        {"alike in every key: the order they came in",
         {task("first", false, false, 3), task("second", false, false, 3), task("third", false, false, 3)},
         {"first", "second", "third"}},
        {"done tasks sort among themselves the same way",
         {task("old done", true, false, 1), task("new done", true, false, 5), task("done star", true, true, 0)},
         {"done star", "new done", "old done"}},
        {"nothing", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(titles(TodoLayout::ordered(row.items)), row.expected);
    }
}

TEST(TodoLayoutTest, TheCountSaysWhatIsLeftAndIsAbsentWhenNothingIs)
{
    const std::vector<TodoSnapshot> items{task("a", false, false, 0), task("b", true, false, 0),
                                          task("c", false, true, 0)};
    EXPECT_EQ(TodoLayout::remaining(items), 2);
    EXPECT_EQ(TodoLayout::remaining({task("a", true, false, 0)}), 0) << "all done";

    const QLocale c(QLocale::C);
    EXPECT_EQ(TodoLayout::countText(0, c), std::nullopt);
    EXPECT_EQ(TodoLayout::countText(1, c), std::optional<QString>("1 left"));
    EXPECT_EQ(TodoLayout::countText(2, c), std::optional<QString>("2 left"));
    EXPECT_EQ(TodoLayout::countText(1234, QLocale(QLocale::German)), std::optional<QString>("1.234 left"))
        << "the number as the user's language writes it";
}

TEST(TodoLayoutTest, TheButtonsKeepTheTrailingEdgeAndTheTitleGivesWay)
{
    const double width = 240;
    const double height = TodoRowLayout::height(15);
    EXPECT_EQ(height, 32) << "the check button is the tallest part";

    // At rest, a plain task: no star, no cross; a long title stops short of
    // the trailing padding and the smallest gap.
    const TodoRowLayout bare = TodoRowLayout::layout({{width, height}, 1000, false, false});
    EXPECT_EQ(bare.check, (Rect{8, 6, 20, 20}));
    EXPECT_EQ(bare.title.x, 8 + 20 + 9);
    EXPECT_EQ(bare.title.maxX(), width - 8 - 4 - 9);
    EXPECT_FALSE(bare.star);
    EXPECT_FALSE(bare.cross);

    // Hovered: the cross at the edge, the star before it, the title shorter.
    const TodoRowLayout hovered = TodoRowLayout::layout({{width, height}, 1000, true, true});
    ASSERT_TRUE(hovered.star && hovered.cross);
    EXPECT_EQ(*hovered.cross, (Rect{width - 8 - 18, 7, 18, 18}));
    EXPECT_EQ(*hovered.star, (Rect{width - 8 - 18 - 9 - 18, 7, 18, 18}));
    EXPECT_EQ(hovered.title.maxX(), hovered.star->x - 9 - 4 - 9);

    // A favourite at rest keeps its star at the very edge.
    const TodoRowLayout favourite = TodoRowLayout::layout({{width, height}, 1000, true, false});
    ASSERT_TRUE(favourite.star);
    EXPECT_EQ(favourite.star->maxX(), width - 8);

    // A short title keeps its own width; a row too narrow leaves it none.
    EXPECT_EQ(TodoRowLayout::layout({{width, height}, 30, true, true}).title.width, 30);
    EXPECT_EQ(TodoRowLayout::layout({{40, height}, 30, true, true}).title.width, 0);
}

} // namespace
