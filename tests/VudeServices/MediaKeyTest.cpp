#include "VudeServices/MediaKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

struct SymbolRow {
    const char* name;
    KeySymbol symbol;
    std::optional<MediaKey> key;
};

TEST(MediaKeyTest, DecodesTheSymbolOfEveryKeyAndNothingElse)
{
    const SymbolRow rows[] = {
        {"XF86AudioRaiseVolume", 0x1008FF13, MediaKey::soundUp},
        {"XF86AudioLowerVolume", 0x1008FF11, MediaKey::soundDown},
        {"XF86AudioMute", 0x1008FF12, MediaKey::mute},
        {"XF86MonBrightnessUp", 0x1008FF02, MediaKey::brightnessUp},
        {"XF86MonBrightnessDown", 0x1008FF03, MediaKey::brightnessDown},
        {"XF86KbdBrightnessUp", 0x1008FF05, MediaKey::illuminationUp},
        {"XF86KbdBrightnessDown", 0x1008FF06, MediaKey::illuminationDown},
        {"XF86AudioPlay", 0x1008FF14, MediaKey::play},
        {"XF86AudioPause: keyboards send it for play/pause too", 0x1008FF31, MediaKey::play},
        {"XF86AudioNext", 0x1008FF17, MediaKey::next},
        {"XF86AudioPrev", 0x1008FF16, MediaKey::previous},
        {"XF86AudioForward", 0x1008FF97, MediaKey::fast},
        {"XF86AudioRewind", 0x1008FF3E, MediaKey::rewind},
        {"XF86AudioStop has no media key", 0x1008FF15, std::nullopt},
        {"XF86KbdLightOnOff has no media key", 0x1008FF04, std::nullopt},
        {"a letter", 0x61, std::nullopt},
        {"no symbol", 0, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(mediaKeyFromSymbol(row.symbol), row.key);
        const auto decoded = MediaKeyEvent::decode({row.symbol, true, false, false, false});
        EXPECT_EQ(decoded.has_value(), row.key.has_value());
        if (decoded && row.key) {
            EXPECT_EQ(decoded->key, *row.key);
        }
    }
}

TEST(MediaKeyTest, FineAdjustNeedsShiftAndAltTogether)
{
    struct Row {
        const char* name;
        bool shift;
        bool alt;
        bool isFineAdjust;
    } const rows[] = {
        {"no modifier", false, false, false},
        {"Shift alone", true, false, false},
        {"Alt alone", false, true, false},
        {"Shift and Alt", true, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const bool isDown : {true, false}) {
            for (const bool isRepeat : {false, true}) {
                const auto decoded = MediaKeyEvent::decode({KeySymbols::audioLowerVolume, isDown, isRepeat, row.shift, row.alt});
                ASSERT_TRUE(decoded);
                EXPECT_EQ(*decoded, (MediaKeyEvent{MediaKey::soundDown, isDown, isRepeat, row.isFineAdjust}));
            }
        }
    }
}

TEST(MediaKeyTest, RawValuesAreTheKeyTypeNumbers)
{
    struct Row {
        int raw;
        std::optional<MediaKey> key;
    } const rows[] = {
        {0, MediaKey::soundUp},   {1, MediaKey::soundDown}, {2, MediaKey::brightnessUp},
        {3, MediaKey::brightnessDown}, {7, MediaKey::mute},  {16, MediaKey::play},
        {17, MediaKey::next},      {18, MediaKey::previous}, {19, MediaKey::fast},
        {20, MediaKey::rewind},    {21, MediaKey::illuminationUp}, {22, MediaKey::illuminationDown},
        // Numbers of keys the tap does not decode.
        {4, std::nullopt}, {6, std::nullopt}, {23, std::nullopt}, {-1, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(mediaKeyFromRawValue(row.raw), row.key);
    }
}

TEST(MediaKeyTest, EveryKeyBelongsToExactlyOneFamily)
{
    enum Family { volume, brightness, illumination, transport };
    struct Row {
        MediaKey key;
        Family family;
    } const rows[] = {
        {MediaKey::soundUp, volume},         {MediaKey::soundDown, volume},
        {MediaKey::brightnessUp, brightness}, {MediaKey::brightnessDown, brightness},
        {MediaKey::mute, volume},            {MediaKey::play, transport},
        {MediaKey::next, transport},          {MediaKey::previous, transport},
        {MediaKey::fast, transport},          {MediaKey::rewind, transport},
        {MediaKey::illuminationUp, illumination}, {MediaKey::illuminationDown, illumination},
    };
    ASSERT_EQ(std::size(rows), allCases<MediaKey>().size());
    for (const auto& row : rows) {
        SCOPED_TRACE(rawValue(row.key));
        EXPECT_EQ(isVolume(row.key), row.family == volume);
        EXPECT_EQ(isBrightness(row.key), row.family == brightness);
        EXPECT_EQ(isIllumination(row.key), row.family == illumination);
        EXPECT_EQ(isTransport(row.key), row.family == transport);
    }
}

TEST(MediaKeyTest, TheWatchedSymbolsCoverEveryKeyVolumeUpFirst)
{
    const auto symbols = mediaKeySymbols();
    ASSERT_FALSE(symbols.empty());
    EXPECT_EQ(symbols.front(), KeySymbols::audioRaiseVolume);
    std::set<MediaKey> reached;
    for (KeySymbol symbol : symbols) {
        const auto key = mediaKeyFromSymbol(symbol);
        ASSERT_TRUE(key) << symbol;
        reached.insert(*key);
    }
    EXPECT_EQ(reached.size(), allCases<MediaKey>().size());
}

} // namespace
