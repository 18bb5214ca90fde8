// The Desk's shortcuts: the empty state's way to the settings, rows that run
// their own shortcut, and how their labels read.
#include "Vude/Desk/ShortcutsWidget.h"

#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "VudeServices/ShortcutsService.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "TestSupport.h"
#include "WidgetPicture.h"

#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using desktest::DeskRig;

ShortcutSnapshot shortcut(std::string name, std::optional<std::string> customName = std::nullopt,
                          std::string symbol = "bolt.fill", std::optional<std::string> textInput = std::nullopt)
{
    return {Uuid::random(), std::move(name), std::move(customName), std::move(symbol), std::move(textInput)};
}

std::string readFile(const fs::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

class ShortcutsWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    ShortcutsWidget& show(const ShortcutsBinding& binding, QSize size = {240, 150})
    {
        widget = std::make_unique<ShortcutsWidget>(rig.environment);
        widget->resize(size);
        widget->bind(binding);
        widget->show();
        return *widget;
    }

    /// Stands in for the runner: notes its arguments and its input.
    fs::path runner()
    {
        const fs::path script = fs::path(scratch.path().toStdString()) / "runner";
        std::ofstream(script) << "#!/bin/sh\n"
                              << "{ printf '%s|' \"$@\"; printf '[%s]' \"$(cat)\"; } > '" << marker().string()
                              << ".tmp'\nmv '" << marker().string() << ".tmp' '" << marker().string() << "'\n";
        fs::permissions(script, fs::perms(0755));
        return script;
    }
    fs::path marker() const { return fs::path(scratch.path().toStdString()) / "ran"; }

    DeskRig rig;
    QTemporaryDir scratch;
    std::unique_ptr<ShortcutsWidget> widget;
};

TEST_F(ShortcutsWidgetQtTest, WithNoneChosenItOffersToChooseThemInTheShortcutsPane)
{
    DeskBinder binder(*rig.model, rig.environment);
    ShortcutsWidget& shortcuts = show(binder.shortcuts());

    EXPECT_EQ(shortcuts.frame()->title(), "Shortcuts");
    EXPECT_EQ(shortcuts.frame()->alignment(), Qt::AlignCenter);
    EXPECT_EQ(shortcuts.frame()->trailing(), nullptr);
    WidgetEmptyState* empty = shortcuts.emptyState();
    ASSERT_TRUE(empty->isVisible());
    EXPECT_FALSE(shortcuts.list()->isVisible());
    EXPECT_EQ(empty->symbol(), "sparkles");
    EXPECT_EQ(empty->message(), "Choose your shortcuts");
    EXPECT_EQ(empty->detail(), std::optional<QString>("in settings."));
    ASSERT_NE(empty->button(), nullptr);
    EXPECT_EQ(empty->button()->text(), "Choose Shortcuts");
    testsupport::saveScreenshot(shortcuts, "shortcuts-empty");

    QTest::mouseClick(empty->button(), Qt::LeftButton);
    EXPECT_EQ(rig.posted,
              (std::vector<std::string>{"app.ruvudav.notch.openSettings", "app.ruvudav.notch.openShortcuts"}));
}

TEST_F(ShortcutsWidgetQtTest, APressAnywhereOnARowRunsThatRowsShortcutThroughTheRunner)
{
    ShortcutsService::Options options;
    options.tool = runner();
    options.applicationSupport = scratch.path().toStdString();
    rig.model->shortcutsService = std::make_shared<ShortcutsService>("Vude", options);
    DidoDivuzerore& repository = rig.useRepository();
    repository.addShortcut("Make GIF", "photo");
    repository.addShortcut("Echo Input", "text.bubble");
    DeskBinder binder(*rig.model, rig.environment);
    ShortcutsBinding binding = binder.shortcuts();
    ASSERT_EQ(binding.items.size(), 2u);
    // A custom name and an input, as the pane would store them.
    binding.items[1].customName = "Say it";
    binding.items[1].textInput = "two\nlines";
    ShortcutsWidget& shortcuts = show(binding);
    EXPECT_FALSE(shortcuts.emptyState()->isVisible());

    ShortcutRow* row = shortcuts.row(binding.items[1].id);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->label(), "Say it");
    // The spacer's end of the row, far from the label.
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 2, row->height() / 2));
    ASSERT_TRUE(testsupport::waitUntil([this] { return fs::exists(marker()); }));
    EXPECT_EQ(readFile(marker()), "run|Echo Input|[two\nlines]") << "by the shortcut's own name, with its input";

    fs::remove(marker());
    QTest::mouseClick(shortcuts.row(binding.items[0].id), Qt::LeftButton, {}, QPoint(2, 2));
    ASSERT_TRUE(testsupport::waitUntil([this] { return fs::exists(marker()); }));
    EXPECT_EQ(readFile(marker()), "run|Make GIF|[]");
}

TEST_F(ShortcutsWidgetQtTest, RowsKeepTheGivenOrderAndTheirLabelsStartAtOneX)
{
    std::vector<ShortcutSnapshot> run;
    const std::vector<ShortcutSnapshot> items{
        shortcut("Resize Images", std::nullopt, "photo"),
        shortcut("Start Focus Session", std::string("Focus"), "moon.fill"),
        shortcut("Summarise the selected text and send it to my notes with a long title", std::nullopt,
                 "doc.text"),
        shortcut("Mystery", std::nullopt, "no.such.symbol"),
    };
    ShortcutsBinding binding{items, [&](const ShortcutSnapshot& item) { run.push_back(item); }, {}};
    ShortcutsWidget& shortcuts = show(binding, {220, 150});

    ASSERT_EQ(shortcuts.list()->keys().size(), 4u);
    std::vector<QString> labels;
    double labelX = -1;
    int lastY = -1;
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        ShortcutRow* row = shortcuts.row(items[i].id);
        ASSERT_NE(row, nullptr);
        labels.push_back(row->label());
        EXPECT_GT(row->y(), lastY) << "in the given order";
        if (i > 0) {
            EXPECT_EQ(row->y() - lastY - row->height(), 3) << "3 points apart";
        }
        lastY = row->y();
        EXPECT_EQ(row->width(), shortcuts.list()->viewport()->width()) << "as wide as the widget";
        const ShortcutRow::Parts parts = row->parts();
        if (labelX < 0)
            labelX = parts.label.x();
        EXPECT_EQ(parts.label.x(), labelX) << "whatever the symbol";
        EXPECT_LE(parts.label.right(), row->width() - 7);
    }
    EXPECT_EQ(labels, (std::vector<QString>{"Resize Images", "Focus",
                                            "Summarise the selected text and send it to my notes with a long title",
                                            "Mystery"}));

    // The long label is cut on its one line; the rows are of one height.
    const ShortcutRow* longest = shortcuts.row(items[2].id);
    EXPECT_EQ(longest->height(), shortcuts.row(items[0].id)->height());

    // An unknown symbol leaves its column empty and the row still runs.
    ShortcutRow* mystery = shortcuts.row(items[3].id);
    const QImage drawn = testsupport::picture(*mystery, 1, Qt::black);
    const QRect column = mystery->parts().symbol.toRect();
    const QColor fill = toQColor(Vude::Ink::x900);
    for (int x = column.left(); x <= column.right(); ++x)
        EXPECT_EQ(QColor(drawn.pixel(x, mystery->height() / 2)), fill) << x;
    QTest::mouseClick(mystery, Qt::LeftButton);
    ASSERT_EQ(run.size(), 1u);
    EXPECT_EQ(run.front(), items[3]) << "the row's own snapshot";
    testsupport::saveScreenshot(shortcuts, "shortcuts-rows");
}

TEST_F(ShortcutsWidgetQtTest, ManyShortcutsScrollInsideTheWidget)
{
    std::vector<ShortcutSnapshot> items;
    for (int i = 0; i < 30; ++i)
        items.push_back(shortcut("Shortcut " + std::to_string(i)));
    ShortcutsWidget& shortcuts = show({items, {}, {}}, {220, 140});
    EXPECT_EQ(shortcuts.list()->keys().size(), 30u) << "no limit";
    EXPECT_GT(shortcuts.list()->widget()->height(), shortcuts.list()->viewport()->height());
    EXPECT_LE(shortcuts.list()->height(), 140);

    // Fewer after a refresh: the rows that stay are the same widgets.
    ShortcutRow* kept = shortcuts.row(items[5].id);
    items.erase(items.begin(), items.begin() + 5);
    shortcuts.bind(ShortcutsBinding{items, {}, {}});
    EXPECT_EQ(shortcuts.row(items[0].id), kept);
}

} // namespace
