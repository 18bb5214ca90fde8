// Typing into the open Desk on a real X server: the panel bypasses the
// window manager and takes the keyboard itself while the Desk is open; a
// click gives it to the to-do composer or the notes editor, and keys typed
// there reach them. Escape still closes the Desk. The window controller and
// its Desk run in the helper process (Qt on X); this program clicks and
// types with XTEST.
#include "Platform/Input/XcbConnection.h"

#include "NotchXHelperProcess.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestKeyboard.h"
#include "XTestPointer.h"

#include <QPoint>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr KeySymbol kReturn = 0xff0d;
constexpr KeySymbol kEscape = 0xff1b;

class DeskTypingSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        x = XcbConnection::open(m_server.display().toStdString());
        ASSERT_TRUE(x);
        pointer = std::make_unique<testsupport::XTestPointer>(*x);
        ASSERT_TRUE(keyboard.open(m_server.display().toStdString()));
        ASSERT_TRUE(store.isValid());
        ASSERT_TRUE(helper.start(m_server, {"typing", store.path()}));
        ASSERT_EQ(helper.waitFor("state"), "state open");
        const QStringList ready = helper.waitFor("ready").split(' ');
        ASSERT_EQ(ready.size(), 5) << "the Desk did not come up";
        composer = QPoint(ready[1].toInt(), ready[2].toInt());
        editor = QPoint(ready[3].toInt(), ready[4].toInt());
    }

    /// Types `text` (lower-case letters and spaces) key by key.
    void type(const std::string& text)
    {
        for (const char letter : text) {
            const xcb_keycode_t code = keyboard.keycode(KeySymbol(letter == ' ' ? 0x20 : letter));
            ASSERT_NE(code, 0) << letter;
            keyboard.tap(code);
        }
        keyboard.sync();
    }
    void press(KeySymbol symbol)
    {
        const xcb_keycode_t code = keyboard.keycode(symbol);
        ASSERT_NE(code, 0);
        keyboard.tap(code);
        keyboard.sync();
    }

    testsupport::PrivateXServer m_server;
    std::unique_ptr<XcbConnection> x;
    std::unique_ptr<testsupport::XTestPointer> pointer;
    testsupport::XTestKeyboard keyboard;
    QTemporaryDir store;
    testsupport::NotchXHelperProcess helper;
    QPoint composer;
    QPoint editor;
};

TEST_F(DeskTypingSystemTest, KeysTypedIntoTheComposerAndTheNotesReachThemAndEscapeStillCloses)
{
    pointer->click(composer.x(), composer.y());
    type("milk");
    press(kReturn);
    EXPECT_EQ(helper.waitFor("todos"), "todos milk");

    // The composer is ready for the next one without another click.
    type("eggs");
    press(kReturn);
    EXPECT_EQ(helper.waitFor("todos"), "todos eggs|milk");

    pointer->click(editor.x(), editor.y());
    type("call ana");
    EXPECT_FALSE(helper.waitFor("note call ana").isEmpty()) << "every key saved the note";

    press(kEscape);
    EXPECT_EQ(helper.waitFor("state"), "state closed");
}

} // namespace
