// The File Tray pane: the two pickers with their opposite polarities and
// explanations, the shelf slider, and the pipeline rows with their switches,
// their fixed order and their dimming.
#include "Vude/Settings/FileTrayPane.h"
#include "Vude/Settings/SettingsPicker.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/Dimming.h"
#include "Vude/Toolkit/PlainButton.h"

#include "PaneFixture.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using P = PipelineID;

class FileTrayPaneQtTest : public settingstest::PaneFixture<FileTrayPane> {
protected:
    FileTrayPane& make() { return PaneFixture::make(SettingsPane::fileTray); }

    static void pick(SettingsPicker& picker, TrayDropMode mode)
    {
        QTest::mouseClick(picker.button(mode), Qt::LeftButton);
    }
};

TEST_F(FileTrayPaneQtTest, TheDropPickerShowsMoveWhenMoveOnDropAndOnlyItsRemovalTextIsAmber)
{
    FileTrayPane& tray = make();
    EXPECT_FALSE(rig.store.trayMoveOnDrop());
    EXPECT_EQ(tray.dropPicker()->selection(), TrayDropMode::copy);
    EXPECT_EQ(tray.dropText()->text(),
              "The original stays where it is. Hold Alt while dropping to move it instead.");
    EXPECT_EQ(tray.dropText()->color(), Vude::Stone::x400);

    pick(*tray.dropPicker(), TrayDropMode::move);
    EXPECT_TRUE(rig.store.trayMoveOnDrop());
    EXPECT_EQ(tray.dropPicker()->selection(), TrayDropMode::move);
    EXPECT_EQ(tray.dropText()->text(),
              "The original is removed from where it was. Hold Alt while dropping to copy instead.");
    EXPECT_EQ(tray.dropText()->color(), Vude::Semantic::amber);
    EXPECT_TRUE(rig.store.trayCopyByDefault()) << "the drag-out setting is another key";
    EXPECT_TRUE(picture("FileTrayPane-moveOnDrop"));

    pick(*tray.dropPicker(), TrayDropMode::copy);
    EXPECT_FALSE(rig.store.trayMoveOnDrop());
    EXPECT_EQ(tray.dropText()->color(), Vude::Stone::x400);
}

TEST_F(FileTrayPaneQtTest, TheDragPickerReadsCopyWhenCopyByDefaultAndNeverTurnsAmber)
{
    struct Row {
        const char* why;
        bool copyByDefault;
        TrayDropMode shown;
        const char* text;
    };
    const std::vector<Row> rows{
        {"copy by default: the item stays", true, TrayDropMode::copy,
         "The item stays on the shelf so you can drop it somewhere else too. Hold Alt to take it off."},
        {"move: the item leaves, no warning", false, TrayDropMode::move,
         "The item leaves the shelf once it lands. Hold Alt to keep a copy."},
    };
    FileTrayPane& tray = make();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        rig.store.setTrayCopyByDefault(row.copyByDefault);
        for (bool moveOnDrop : {false, true}) {
            rig.store.setTrayMoveOnDrop(moveOnDrop);
            EXPECT_EQ(tray.dragPicker()->selection(), row.shown);
            EXPECT_EQ(tray.dragText()->text(), row.text);
            EXPECT_EQ(tray.dragText()->color(), Vude::Stone::x400);
        }
    }

    rig.store.setTrayMoveOnDrop(false);
    pick(*tray.dragPicker(), TrayDropMode::copy);
    EXPECT_TRUE(rig.store.trayCopyByDefault());
    EXPECT_FALSE(rig.store.trayMoveOnDrop());
    pick(*tray.dragPicker(), TrayDropMode::move);
    EXPECT_FALSE(rig.store.trayCopyByDefault()) << "move is copy-by-default off";
    EXPECT_FALSE(rig.store.trayMoveOnDrop()) << "the drop setting is untouched";
    EXPECT_EQ(tray.dragPicker()->selection(), TrayDropMode::move);
}

TEST_F(FileTrayPaneQtTest, TheShelfSliderKeepsFiveToTwoHundredFiles)
{
    FileTrayPane& tray = make();
    ValueSlider& slider = *tray.maxItemsSlider();
    EXPECT_EQ(slider.label(), "Keep at most");
    EXPECT_EQ(slider.lower(), 5);
    EXPECT_EQ(slider.upper(), 200);
    EXPECT_EQ(slider.shownText(), "50 files");
    emit slider.moved(120.4);
    EXPECT_EQ(rig.store.trayMaxItems(), 120.4);
    EXPECT_EQ(slider.shownText(), "120 files");
    rig.store.setTrayMaxItems(900);
    EXPECT_EQ(rig.store.trayMaxItems(), 200);
    EXPECT_EQ(slider.shownText(), "200 files");
}

TEST_F(FileTrayPaneQtTest, PipelineRowsKeepDeclarationOrderWhateverTheLaneOrder)
{
    rig.store.setPipelineOrder({P::copyPaths, P::zip, P::rename});
    FileTrayPane& tray = make();
    std::vector<PipelineID> shown;
    std::vector<bool> on;
    for (PipelineRow* row : tray.pipelineRows()) {
        shown.push_back(row->id());
        on.push_back(row->onSwitch()->isOn());
    }
    const auto every = allCases<PipelineID>();
    EXPECT_EQ(shown, std::vector<PipelineID>(every.begin(), every.end()));
    EXPECT_EQ(on, std::vector<bool>({false, false, true, false, false, false, true, true}));
    EXPECT_EQ(tray.pipelineRow(P::zip)->symbolColor(), Vude::Accent::x500);
    EXPECT_EQ(tray.pipelineRow(P::unzip)->symbolColor(), Vude::Stone::x400);

    QTest::mouseClick(tray.pipelineRow(P::unzip)->onSwitch(), Qt::LeftButton);
    EXPECT_EQ(rig.store.pipelineOrder(), PipelineList({P::copyPaths, P::zip, P::rename, P::unzip}));
    EXPECT_TRUE(tray.pipelineRow(P::unzip)->isOn());
    EXPECT_EQ(tray.pipelineRows().at(3)->id(), P::unzip) << "the row stays where it was";
}

TEST_F(FileTrayPaneQtTest, EveryRowIsOnUntilOneIsSwitchedOffThenTheOthersAreListed)
{
    FileTrayPane& tray = make();
    for (PipelineRow* row : tray.pipelineRows()) {
        EXPECT_TRUE(row->onSwitch()->isOn()) << rawValue(row->id());
        EXPECT_EQ(row->symbolColor(), Vude::Accent::x500);
    }
    EXPECT_TRUE(picture("FileTrayPane"));

    QTest::mouseClick(tray.pipelineRow(P::zip)->onSwitch(), Qt::LeftButton);
    EXPECT_EQ(rig.store.pipelineOrder(), PipelineList({P::compressImage, P::convertFormat, P::unzip, P::stripEXIF,
                                                       P::imagesToPDF, P::rename, P::copyPaths}));
    EXPECT_FALSE(tray.pipelineRow(P::zip)->onSwitch()->isOn());
    EXPECT_EQ(tray.pipelineRow(P::zip)->symbolColor(), Vude::Stone::x400);
    EXPECT_TRUE(rig.store.pipelinesEnabled());
}

TEST_F(FileTrayPaneQtTest, TheLastPipelineOffTurnsTheLanesOffAndDimsTheRows)
{
    rig.store.setPipelineOrder({P::rename});
    FileTrayPane& tray = make();
    EXPECT_FALSE(Dimming::isDimmed(*tray.pipelineList()));

    QTest::mouseClick(tray.pipelineRow(P::rename)->onSwitch(), Qt::LeftButton);
    EXPECT_EQ(rig.store.pipelineOrder(), PipelineList({P::rename})) << "remembered as the only lane";
    EXPECT_FALSE(rig.store.pipelinesEnabled());
    EXPECT_FALSE(tray.lanesSwitch()->isOn());
    EXPECT_TRUE(tray.pipelineRow(P::rename)->onSwitch()->isOn()) << "its switch still reads on";
    EXPECT_TRUE(Dimming::isDimmed(*tray.pipelineList()));
    for (PipelineRow* row : tray.pipelineRows())
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*row), Dimming::dimmedOpacity);
    EXPECT_TRUE(picture("FileTrayPane-lanesOff"));

    QTest::mouseClick(tray.pipelineRow(P::zip)->onSwitch(), Qt::LeftButton);
    EXPECT_EQ(rig.store.pipelineOrder(), PipelineList({P::rename})) << "dimmed rows do not respond";

    QTest::mouseClick(tray.lanesSwitch(), Qt::LeftButton);
    EXPECT_TRUE(rig.store.pipelinesEnabled());
    EXPECT_FALSE(Dimming::isDimmed(*tray.pipelineList()));
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*tray.pipelineRow(P::zip)), 1.0);
    QTest::mouseClick(tray.pipelineRow(P::zip)->onSwitch(), Qt::LeftButton);
    EXPECT_EQ(rig.store.pipelineOrder(), PipelineList({P::rename, P::zip}));
}

TEST_F(FileTrayPaneQtTest, ThePaneShowsItsSectionsAndNotesInOrder)
{
    FileTrayPane& tray = make();
    QStringList texts;
    for (QWidget* block : blocks())
        if (auto* text = qobject_cast<SettingsText*>(block))
            texts << text->text();
    EXPECT_EQ(texts, QStringList({"Dropping in", "Dragging out", "Shelf",
                                  "The tray is local to this computer and isn't synced \u2014 its files are large and "
                                  "its paths mean nothing on another machine.",
                                  "Drop actions",
                                  "Only lanes that suit the files you're dragging appear \u2014 you won't see "
                                  "\u201CCompress\u201D for a text file. Results land in the tray with an undo."}));
    EXPECT_EQ(tray.dropPicker()->label(), "When you drop a file on the notch");
    EXPECT_EQ(tray.dragPicker()->label(), "When you drag an item off the shelf");
}

} // namespace
