#include "Platform/Input/X11KeyTapBackend.h"
#include "Platform/Input/X11Keyboard.h"
#include "Platform/Input/X11KeyboardMapping.h"

#include <gtest/gtest.h>

namespace {

constexpr KeySymbol shiftL = 0xffe1;
constexpr KeySymbol numLock = 0xff7f;
constexpr KeySymbol letterA = 0x61;
constexpr KeySymbol capitalA = 0x41;

// Five keys from key code 8, two columns each; two modifier slots each.
X11KeyboardMapping smallKeyboard()
{
    const KeySymbol volumeUp = KeySymbols::audioRaiseVolume;
    return X11KeyboardMapping(8, 2,
                              {
                                  shiftL, 0,        // 8
                                  letterA, capitalA, // 9
                                  numLock, 0,       // 10
                                  0, volumeUp,      // 11: only on the second level
                                  volumeUp, 0,      // 12: a second key with the symbol
                              },
                              2,
                              {
                                  8, 0,  // Shift
                                  0, 0,  // Lock
                                  0, 0,  // Control
                                  0, 0,  // Mod1
                                  10, 0, // Mod2
                                  0, 0, 0, 0, 0, 0,
                              });
}

TEST(X11KeyboardMappingTest, FindsTheKeysOfASymbolInAnyColumn)
{
    const auto mapping = smallKeyboard();
    struct Row {
        const char* name;
        KeySymbol symbol;
        std::vector<xcb_keycode_t> keycodes;
    } const rows[] = {
        {"two keys, one of them on the second level", KeySymbols::audioRaiseVolume, {11, 12}},
        {"the first key code is the lowest one", shiftL, {8}},
        {"a shifted symbol", capitalA, {9}},
        {"a symbol no key carries", KeySymbols::audioMute, {}},
        {"empty slots are no symbol", 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(mapping.keycodes(row.symbol), row.keycodes);
    }
    EXPECT_EQ(mapping.symbols(9), (std::vector<KeySymbol>{letterA, capitalA}));
    EXPECT_TRUE(mapping.symbols(7).empty());
    EXPECT_TRUE(mapping.symbols(13).empty());
}

TEST(X11KeyboardMappingTest, TellsWhichModifiersAKeySets)
{
    const auto mapping = smallKeyboard();
    EXPECT_EQ(mapping.modifierMask(xcb_keycode_t(8)), XCB_MOD_MASK_SHIFT);
    EXPECT_EQ(mapping.modifierMask(xcb_keycode_t(9)), 0);
    // Empty modifier slots hold key code 0, which is no key.
    EXPECT_EQ(mapping.modifierMask(xcb_keycode_t(0)), 0);
    EXPECT_EQ(mapping.modifierMask(numLock), XCB_MOD_MASK_2);
    EXPECT_EQ(mapping.modifierMask(KeySymbols::audioRaiseVolume), 0);
    EXPECT_EQ(X11KeyboardMapping().modifierMask(xcb_keycode_t(8)), 0);
}

TEST(X11KeyboardTest, WithoutADisplayNothingIsAvailable)
{
    auto keyboard = std::make_shared<X11Keyboard>(nullptr);
    EXPECT_FALSE(keyboard->isConnected());
    EXPECT_EQ(keyboard->inputMonitoring(), InputMonitoringAccess::unknown);
    const KeySymbol symbols[] = {KeySymbols::audioRaiseVolume};
    EXPECT_FALSE(keyboard->canIntercept(symbols));
    EXPECT_EQ(keyboard->grab({KeySymbols::audioRaiseVolume}).error(), KeyTapError::unavailable);

    ManualClock clock;
    ManualScheduler scheduler(clock);
    X11KeyTapBackend backend(keyboard, scheduler);
    for (const KeyTapMode mode : {KeyTapMode::listen, KeyTapMode::intercept}) {
        const auto started = backend.start(mode, {KeySymbols::audioRaiseVolume}, [](const KeyTapEvent&) { return true; });
        ASSERT_FALSE(started);
        EXPECT_EQ(started.error(), KeyTapError::unavailable);
        EXPECT_FALSE(backend.isEnabled());
        backend.enable();
        EXPECT_FALSE(backend.isEnabled());
    }
}

} // namespace
