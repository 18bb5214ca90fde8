// The copy-or-move picker: its two modes, a click that only asks, and the
// accent fill on the chosen mode alone.
#include "Vude/Settings/SettingsPicker.h"
#include "Vude/Toolkit/PlainButton.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using settingstest::SettingsRig;

TEST(SettingsPickerTest, TheModesAreStoredByCaseNameWithTheirTitles)
{
    struct Row {
        TrayDropMode mode;
        std::string_view raw;
        std::string_view title;
        std::string_view subtitle;
    };
    const std::vector<Row> rows{
        {TrayDropMode::copy, "copy", "Copy", "keep the original"},
        {TrayDropMode::move, "move", "Move", "remove the original"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(rawValue(row.mode), row.raw);
        EXPECT_EQ(enumFromRaw<TrayDropMode>(row.raw), row.mode);
        EXPECT_EQ(displayName(row.mode), row.title);
        EXPECT_EQ(subtitle(row.mode), row.subtitle);
    }
    EXPECT_EQ(enumFromRaw<TrayDropMode>("Move"), std::nullopt);
    EXPECT_EQ(allCases<TrayDropMode>(), (std::array{TrayDropMode::copy, TrayDropMode::move}));
}

TEST(SettingsPickerQtTest, AClickAsksForTheModeAndOnlyTheOwnerChangesIt)
{
    SettingsRig rig;
    SettingsPicker picker(QStringLiteral("When you drop a file on the notch"), rig.environment.view);
    picker.resize(480, picker.sizeHint().height());
    picker.show();
    QSignalSpy chosen(&picker, &SettingsPicker::chosen);

    QTest::mouseClick(picker.button(TrayDropMode::move), Qt::LeftButton);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).value<TrayDropMode>(), TrayDropMode::move);
    EXPECT_EQ(picker.selection(), TrayDropMode::copy) << "a click only asks";

    picker.setSelection(TrayDropMode::move);
    EXPECT_EQ(chosen.count(), 1) << "showing a mode asks for nothing";
    QTest::mouseClick(picker.button(TrayDropMode::move), Qt::LeftButton);
    EXPECT_EQ(chosen.count(), 2) << "the chosen mode can be asked for again";

    // The two buttons share the row; only the chosen one is filled with the accent.
    const QRect copy = picker.button(TrayDropMode::copy)->geometry();
    const QRect move = picker.button(TrayDropMode::move)->geometry();
    EXPECT_NEAR(copy.width(), move.width(), 1);
    const QImage image = testsupport::picture(picker);
    const auto fillAt = [&](const QRect& button) { return image.pixelColor(button.right() - 6, button.center().y()); };
    EXPECT_EQ(fillAt(move), toQColor(Vude::Accent::x500));
    EXPECT_EQ(fillAt(copy), toQColor(Vude::Ink::x800));
    EXPECT_TRUE(testsupport::saveScreenshot(picker, "SettingsPicker-move", toQColor(Vude::Ink::x850)));
}

} // namespace
