// The notes widget: every edit saved at once, a commit on hiding, the
// repository's note put into the editor without moving the cursor or saving
// it back, and the read-only editor while there is no repository.
#include "Vude/Desk/NotesWidget.h"

#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/RavoView.h"
#include "VudeKit/WidgetLayout.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "WidgetPicture.h"

#include <QPlainTextEdit>
#include <QApplication>
#include <QTest>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace {

using desktest::DeskRig;

class NotesWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    /// The widget over a note held here, noting every save.
    NotesWidget& make(std::string text = {})
    {
        note = std::move(text);
        widget = std::make_unique<NotesWidget>(rig.environment);
        widget->resize(220, 140);
        republish();
        return *widget;
    }
    /// Hands the widget the note as it is now, as the Desk does on a change.
    void republish()
    {
        NotesBinding binding;
        binding.editable = true;
        binding.text = [this] { return note; };
        binding.setText = [this](const std::string& text) {
            note = text;
            saves.push_back("set " + text);
        };
        binding.onCommit = [this] { saves.push_back("commit " + note); };
        widget->bind(binding);
    }

    DeskRig rig;
    std::string note;
    std::vector<std::string> saves;
    std::unique_ptr<NotesWidget> widget;
};

TEST_F(NotesWidgetQtTest, EveryEditIsSavedAtOnceAndHidingCommitsOnceMore)
{
    NotesWidget& notes = make();
    notes.show();
    EXPECT_EQ(notes.editor()->placeholderText(), "Notes…");
    EXPECT_FALSE(notes.editor()->isReadOnly());

    QTest::keyClicks(notes.editor(), "ab");
    QTest::keyClick(notes.editor(), Qt::Key_Return);
    EXPECT_EQ(saves, (std::vector<std::string>{"set a", "commit a", "set ab", "commit ab", "set ab\n",
                                               "commit ab\n"}));
    QTest::keyClick(notes.editor(), Qt::Key_Backspace);
    EXPECT_EQ(note, "ab");

    saves.clear();
    notes.hide();
    EXPECT_EQ(saves, std::vector<std::string>{"commit ab"});

    // Deleted while still shown (the Desk went at once): committed all the same.
    notes.show();
    saves.clear();
    widget.reset();
    EXPECT_EQ(saves, std::vector<std::string>{"commit ab"});
}

TEST_F(NotesWidgetQtTest, TheRepublishedNoteKeepsTheCursorAndTheUndoHistoryAndSavesNothing)
{
    NotesWidget& notes = make();
    notes.show();
    QTest::keyClicks(notes.editor(), "hello world");
    QTextCursor cursor = notes.editor()->textCursor();
    cursor.setPosition(5);
    notes.editor()->setTextCursor(cursor);

    // The repository publishes what was just saved: nothing moves.
    saves.clear();
    republish();
    EXPECT_EQ(notes.editor()->textCursor().position(), 5);
    EXPECT_TRUE(saves.empty());

    // Another computer's change arrives: shown, the cursor stays by its
    // text, nothing is saved back, and typing can still be undone.
    note = "hello world, from afar";
    republish();
    EXPECT_EQ(notes.text(), "hello world, from afar");
    EXPECT_EQ(notes.editor()->textCursor().position(), 5);
    note = "oh, hello world, from afar";
    republish();
    EXPECT_EQ(notes.editor()->textCursor().position(), 9) << "moved along with the text before it";
    EXPECT_TRUE(saves.empty());
    EXPECT_TRUE(notes.editor()->document()->isUndoAvailable());

    // Lines, a no-break space and characters beyond the first plane survive
    // the round trip unchanged.
    note = "first\nsecond\u00a0half 🎉\n";
    republish();
    EXPECT_EQ(notes.text().toStdString(), note);
    EXPECT_TRUE(saves.empty());
    QTest::keyClick(notes.editor(), Qt::Key_End);
    QTest::keyClicks(notes.editor(), "!");
    EXPECT_EQ(saves.front().substr(0, 4), "set ");
    EXPECT_NE(note.find("\u00a0half 🎉"), std::string::npos) << "saved as it was shown";
}

TEST_F(NotesWidgetQtTest, WithoutARepositoryTheEditorIsEmptyAndReadOnly)
{
    widget = std::make_unique<NotesWidget>(rig.environment);
    widget->resize(220, 140);
    widget->bind(DeskBinder(*rig.model, rig.environment).notes());
    widget->show();
    EXPECT_TRUE(widget->editor()->isReadOnly());
    QTest::keyClicks(widget->editor(), "lost");
    EXPECT_EQ(widget->text(), "");
    // The placeholder shows where the first character would go.
    const QImage drawn = testsupport::picture(*widget, 1, Qt::black);
    int lit = 0;
    for (int y = 6; y < 30; ++y)
        for (int x = 6; x < 60; ++x)
            lit += qGray(drawn.pixel(x, y)) > 60;
    EXPECT_GT(lit, 10);
    EXPECT_TRUE(testsupport::saveScreenshot(*widget, "notes-empty"));
}

TEST_F(NotesWidgetQtTest, TypingOnTheDeskSavesTheNoteAndTheRepositorysNoteComesBack)
{
    DidoDivuzerore& repository = rig.useRepository();
    rig.model->setLayout(WidgetLayoutEngine{54, 22, 18, 1100}.layout({WidgetID::notes}, {WidgetID::notes}, {}, 1360));
    rig.model->send(NotchEvent::click());
    auto desk = std::make_unique<RavoView>(RiziDar::ravo, *rig.model, RavoView::defaultInset, rig.environment);
    desk->resize(800, 220);
    desk->show();
    auto* notes = dynamic_cast<NotesWidget*>(desk->widget(WidgetID::notes));
    ASSERT_NE(notes, nullptr);
    EXPECT_FALSE(notes->editor()->isReadOnly());

    QTest::keyClicks(notes->editor(), "Call Ana");
    EXPECT_EQ(repository.noteText(), "Call Ana");
    repository.reloadFromStore();
    EXPECT_EQ(repository.noteText(), "Call Ana") << "in the store, not only in memory";

    repository.saveNote("Call Ana at 5");
    EXPECT_EQ(notes->text(), "Call Ana at 5");
    EXPECT_TRUE(testsupport::saveScreenshot(*notes, "notes-typed"));

    // Closing the Desk right after typing loses nothing.
    QTest::keyClicks(notes->editor(), "!");
    desk.reset();
    repository.reloadFromStore();
    EXPECT_EQ(repository.noteText(), "Call Ana at 5!");
}

} // namespace
