#include "VudeKit/WidgetLayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>

static void PrintTo(WidgetID id, std::ostream* os) { *os << rawValue(id); }

static void PrintTo(const ZeriRuvuzi& row, std::ostream* os)
{
    *os << "{";
    for (const auto& placement : row.placements)
        *os << rawValue(placement.id) << " " << placement.cells << " cells " << placement.width << " wide at "
            << placement.x << "; ";
    *os << "total " << row.totalWidth << "; overflow";
    for (const auto id : row.overflow)
        *os << " " << rawValue(id);
    *os << "}";
}

namespace {

using W = WidgetID;
using Order = std::vector<WidgetID>;

// The measures the window controller lays the Desk out with.
const WidgetLayoutEngine kEngine{54, 22, 18, 1100};

const Order kCatalogueOrder{W::media,   W::calendar, W::todos,     W::timer,     W::notes,      W::shortcuts,
                            W::mirror,  W::quickApps, W::weather,  W::clipboard, W::audioDevice};

TEST(WidgetLayoutNormalise, KeepsFirstOccurrencesThenAppendsTheMissingInCatalogueOrder)
{
    struct Row {
        const char* why;
        Order order;
        Order expected;
    };
    const Row rows[] = {
        {"repeats dropped, missing appended", {W::todos, W::media, W::todos},
         {W::todos, W::media, W::calendar, W::timer, W::notes, W::shortcuts, W::mirror, W::quickApps, W::weather,
          W::clipboard, W::audioDevice}},
        {"nothing saved gives the catalogue", {}, kCatalogueOrder},
        {"a complete order is kept", Order(kCatalogueOrder.rbegin(), kCatalogueOrder.rend()),
         Order(kCatalogueOrder.rbegin(), kCatalogueOrder.rend())},
        {"a value outside the catalogue is dropped", {static_cast<W>(42), W::weather, static_cast<W>(-1)},
         {W::weather, W::media, W::calendar, W::todos, W::timer, W::notes, W::shortcuts, W::mirror, W::quickApps,
          W::clipboard, W::audioDevice}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(WidgetLayoutEngine::normalise(row.order), row.expected);
    }
}

TEST(WidgetLayoutCells, AreClampedToTheWidgetsMinimumAndEight)
{
    struct Row {
        WidgetID id;
        int cells;
        int expected;
    };
    const Row rows[] = {
        {W::media, 1, 4},        {W::media, 12, 8},     {W::media, 4, 4},       {W::media, 8, 8},
        {W::timer, 2, 2},        {W::mirror, 0, 2},     {W::weather, -5, 2},    {W::notes, INT_MIN, 3},
        {W::clipboard, INT_MAX, 8},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(rawValue(row.id)) + " " + std::to_string(row.cells));
        EXPECT_EQ(WidgetLayoutEngine::clampCells(row.cells, row.id), row.expected);
    }
}

struct LayoutRow {
    const char* why;
    Order order;
    std::unordered_set<WidgetID> enabled;
    std::unordered_map<WidgetID, int> cells;
    double available;
    ZeriRuvuzi expected;
};

const std::unordered_set<WidgetID> kFour{W::media, W::todos, W::shortcuts, W::mirror};
const Order kFourOrder{W::media, W::todos, W::shortcuts, W::mirror};

// clang-format off
const LayoutRow kLayouts[] = {
    {"everything fits", kFourOrder, kFour, {}, 2000,
     {{{W::media, 5, 270, 18}, {W::todos, 4, 216, 310}, {W::shortcuts, 4, 216, 548}, {W::mirror, 2, 108, 786}}, 912, {}}},
    {"a wide widget overflows and a narrower later one still fits", kFourOrder, kFour, {}, 700,
     {{{W::media, 5, 270, 18}, {W::todos, 4, 216, 310}, {W::mirror, 2, 108, 548}}, 674, {W::shortcuts}}},
    {"an exact fit is placed", kFourOrder, kFour, {}, 674,
     {{{W::media, 5, 270, 18}, {W::todos, 4, 216, 310}, {W::mirror, 2, 108, 548}}, 674, {W::shortcuts}}},
    {"one point less and the last one overflows too", kFourOrder, kFour, {}, 673,
     {{{W::media, 5, 270, 18}, {W::todos, 4, 216, 310}}, 544, {W::shortcuts, W::mirror}}},
    {"stored widths are clamped", kFourOrder, {W::media, W::todos}, {{W::media, 1}, {W::todos, 12}}, 2000,
     {{{W::media, 4, 216, 18}, {W::todos, 8, 432, 256}}, 706, {}}},
    {"the first widget is placed even when too wide", {W::media}, {W::media, W::mirror}, {{W::media, 8}}, 100,
     {{{W::media, 8, 432, 18}}, 100, {W::mirror}}},
    {"the maximum width caps a wide screen", {}, {W::media, W::calendar, W::todos, W::timer, W::notes}, {}, 5000,
     {{{W::media, 5, 270, 18}, {W::calendar, 5, 270, 310}, {W::todos, 4, 216, 602}, {W::timer, 4, 216, 840}}, 1074,
      {W::notes}}},
    {"disabled widgets are neither placed nor overflow", {W::mirror, W::media}, {W::media}, {{W::mirror, 8}}, 2000,
     {{{W::media, 5, 270, 18}}, 306, {}}},
    {"an unknown width reads as the maximum", kFourOrder, {W::mirror, W::weather}, {},
     std::numeric_limits<double>::quiet_NaN(),
     {{{W::mirror, 2, 108, 18}, {W::weather, 3, 162, 148}}, 328, {}}},
    {"nothing enabled gives an empty row", kFourOrder, {}, {{W::media, 5}}, 2000, {{}, 0, {}}},
};
// clang-format on

TEST(WidgetLayoutEngine, LaysOutOneRowWithinTheLimit)
{
    for (const auto& row : kLayouts) {
        SCOPED_TRACE(row.why);
        const auto layout = kEngine.layout(row.order, row.enabled, row.cells, row.available);
        EXPECT_EQ(layout, row.expected);
        EXPECT_EQ(layout.isEmpty(), row.expected.placements.empty());
    }
}

TEST(WidgetLayoutEngine, MovesOneWidgetWithinTheNormalisedOrder)
{
    struct Row {
        const char* why;
        int from;
        int to;
        Order expected;
    };
    const Order rest(kCatalogueOrder.begin() + 1, kCatalogueOrder.end());
    Order firstLast = rest;
    firstLast.push_back(W::media);
    const Row rows[] = {
        {"past the end goes last", 0, 99, firstLast},
        {"to the last index goes last", 0, 10, firstLast},
        {"from one past the end changes nothing", 11, 0, kCatalogueOrder},
        {"from a negative index changes nothing", -1, 0, kCatalogueOrder},
        {"before the start goes first", 2, -3,
         {W::todos, W::media, W::calendar, W::timer, W::notes, W::shortcuts, W::mirror, W::quickApps, W::weather,
          W::clipboard, W::audioDevice}},
        {"one step down", 0, 1,
         {W::calendar, W::media, W::todos, W::timer, W::notes, W::shortcuts, W::mirror, W::quickApps, W::weather,
          W::clipboard, W::audioDevice}},
        {"onto itself changes nothing", 5, 5, kCatalogueOrder},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(WidgetLayoutEngine::move({}, row.from, row.to), row.expected);
    }
    EXPECT_EQ(WidgetLayoutEngine::move({W::weather, W::weather}, 0, 1).at(1), W::weather)
        << "the order is normalised before the move";
}

} // namespace
