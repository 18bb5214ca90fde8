// The Clipboard pane: the switches and the slider, turning persistence off
// (the file goes at once, the clips stay, no waiting write lands later),
// clearing, and the privacy lines.
#include "Vude/Settings/ClipboardPane.h"
#include "Platform/Desktop/FakePasteboard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/AccentButton.h"
#include "VudeServices/ClipboardService.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using settingstest::SettingsRig;

class ClipboardPaneQtTest : public ::testing::Test {
protected:
    ClipboardPaneQtTest()
    {
        ClipboardServiceOptions options;
        options.clock = &rig.clock;
        options.applicationSupport = fs::path(m_root.path().toStdString());
        // Writes wait until the test runs them, as on a busy worker.
        options.writeExecutor = [this](std::function<void()> job) { m_writeJobs.push_back(std::move(job)); };
        history = std::make_unique<ClipboardService>(m_pasteboard, "Vude", options);
        rig.services.clipboard = history.get();
    }

    ClipboardPane& make()
    {
        pane.reset(makeSettingsPaneView(SettingsPane::clipboard, rig.environment, nullptr));
        pane->bind(settingsPaneInputs(SettingsPane::clipboard, rig.services));
        pane->resize(560, pane->heightForWidth(560));
        auto* clipboard = dynamic_cast<ClipboardPane*>(pane.get());
        EXPECT_NE(clipboard, nullptr);
        return *clipboard;
    }

    Clip textClip(const std::string& text)
    {
        return Clip{Uuid::random(), Clip::Kind::text, text, std::nullopt, rig.clock.now(), std::nullopt};
    }

    void runWrites()
    {
        auto jobs = std::move(m_writeJobs);
        m_writeJobs.clear();
        for (auto& job : jobs)
            job();
    }

    std::vector<std::string> shownTexts() const
    {
        std::vector<std::string> texts;
        for (const Clip& clip : history->clips())
            texts.push_back(clip.text);
        return texts;
    }

    QTemporaryDir m_root;
    std::vector<std::function<void()>> m_writeJobs;
    FakePasteboard m_pasteboard;
    SettingsRig rig;
    std::unique_ptr<ClipboardService> history;
    std::unique_ptr<SettingsPaneView> pane;
};

TEST_F(ClipboardPaneQtTest, TurningPersistenceOffDeletesTheFileAtOnceWhileTheClipsStay)
{
    // A persisting history on disk, with one more write still waiting.
    rig.store.setClipboardPersists(true);
    history->setPersists(true);
    const Clip gone = textClip("gone");
    history->setClips({textClip("kept"), textClip("also kept"), gone});
    const Clip second = history->clips()[1];
    history->remove(second);
    runWrites();
    ASSERT_TRUE(fs::exists(history->storeURL()));
    history->remove(gone);

    ClipboardPane& view = make();
    EXPECT_TRUE(view.persistSwitch()->isOn());
    EXPECT_EQ(view.persistRow()->footnote(), "History is written to disk and survives a restart.");

    QTest::mouseClick(view.persistSwitch(), Qt::LeftButton);
    EXPECT_FALSE(rig.store.clipboardPersists());
    EXPECT_FALSE(view.persistSwitch()->isOn());
    EXPECT_EQ(view.persistRow()->footnote(), "History lives in memory only and is gone when Vude quits.");
    EXPECT_FALSE(fs::exists(history->storeURL())) << "deleted before the click returns";
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"kept"}) << "the Desk keeps its clips";
    runWrites();
    EXPECT_FALSE(fs::exists(history->storeURL())) << "the write that was waiting never lands";

    // Recording is off, so no poll hands the history the flag: a removal on
    // the Desk must still not write the file back.
    const Clip last = history->clips()[0];
    history->remove(last);
    runWrites();
    EXPECT_FALSE(fs::exists(history->storeURL()));
    EXPECT_TRUE(rig.services.log.empty()) << "the Desk is not told anything";
}

TEST_F(ClipboardPaneQtTest, TurningPersistenceOnOnlyStoresTheSetting)
{
    history->setClips({textClip("a")});
    ClipboardPane& view = make();
    EXPECT_EQ(view.persistRow()->footnote(), "History lives in memory only and is gone when Vude quits.");
    QTest::mouseClick(view.persistSwitch(), Qt::LeftButton);
    EXPECT_TRUE(rig.store.clipboardPersists());
    EXPECT_EQ(view.persistRow()->footnote(), "History is written to disk and survives a restart.");
    EXPECT_FALSE(history->persists()) << "the next poll hands it over";
    runWrites();
    EXPECT_FALSE(fs::exists(history->storeURL()));

    // Written elsewhere: the row follows.
    rig.store.setClipboardPersists(false);
    EXPECT_FALSE(view.persistSwitch()->isOn());
    EXPECT_EQ(view.persistRow()->footnote(), "History lives in memory only and is gone when Vude quits.");
}

TEST_F(ClipboardPaneQtTest, ClearEmptiesTheHistoryThenCallsOnChangeEvenWhenEmpty)
{
    ClipboardPane& view = make();
    QTest::mouseClick(view.clearButton(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log, std::vector<std::string>{"refreshClips"}) << "an empty history still calls onChange";

    history->setClips({textClip("one"), textClip("two")});
    auto inputs = std::get<ClipboardPaneInputs>(settingsPaneInputs(SettingsPane::clipboard, rig.services));
    std::vector<std::size_t> countsSeen;
    inputs.onChange = [&] { countsSeen.push_back(history->clips().size()); };
    view.bind(inputs);
    QTest::mouseClick(view.clearButton(), Qt::LeftButton);
    EXPECT_TRUE(history->clips().empty());
    EXPECT_EQ(countsSeen, std::vector<std::size_t>{0}) << "called once, after the history was emptied";

    // Without a history the button still tells the window.
    rig.services.clipboard = nullptr;
    rig.services.log.clear();
    view.bind(settingsPaneInputs(SettingsPane::clipboard, rig.services));
    QTest::mouseClick(view.clearButton(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log, std::vector<std::string>{"refreshClips"});
}

TEST_F(ClipboardPaneQtTest, RecordingAndTheMaximumAreWrittenStraightToTheStore)
{
    history->setClips({textClip("kept")});
    ClipboardPane& view = make();
    EXPECT_TRUE(view.recordSwitch()->isOn());
    QTest::mouseClick(view.recordSwitch(), Qt::LeftButton);
    EXPECT_FALSE(rig.store.clipboardEnabled());
    EXPECT_FALSE(view.recordSwitch()->isOn());
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"kept"}) << "turning recording off removes nothing";

    const struct {
        double asked;
        double stored;
        const char* shown;
    } rows[] = {
        {5, 5, "5 clips"}, {37.8, 37.8, "37 clips"}, {199.99, 199.99, "199 clips"}, {200, 200, "200 clips"},
        {2, 5, "5 clips"},
    };
    ValueSlider* slider = view.maxItemsSlider();
    EXPECT_EQ(slider->shownText(), "40 clips");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.asked);
        emit slider->moved(row.asked);
        EXPECT_DOUBLE_EQ(rig.store.clipboardMaxItems(), row.stored);
        EXPECT_EQ(slider->shownText(), row.shown);
    }
    EXPECT_TRUE(rig.services.log.empty());
}

TEST_F(ClipboardPaneQtTest, ThePrivacyCardSaysWhereTheHistoryLivesAndAPicture)
{
    const auto lines = ClipboardPane::privacyLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].symbol, "lock.fill");
    EXPECT_EQ(lines[1].symbol, "desktopcomputer");
    EXPECT_EQ(lines[1].text,
              "History stays on this computer. It is never copied to the sync folder or to your other computers.");
    EXPECT_EQ(lines[2].symbol, "trash");

    rig.store.setClipboardPersists(true);
    ClipboardPane& view = make();
    view.show();
    QStringList shown;
    for (auto* text : view.findChildren<SettingsText*>())
        shown << text->text();
    for (const auto& line : lines)
        EXPECT_TRUE(shown.contains(line.text)) << line.text.toStdString();
    EXPECT_TRUE(shown.contains("Privacy"));
    EXPECT_EQ(view.clearButton()->text(), "Clear history now");
    EXPECT_TRUE(testsupport::saveScreenshot(view, "ClipboardPane"));
}

} // namespace
