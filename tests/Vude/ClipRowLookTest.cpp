// How a clipboard row reads for each kind of clip, while hovered and right
// after a click.
#include "Vude/Desk/ClipRowLook.h"

#include <gtest/gtest.h>

namespace {

using Kind = Clip::Kind;

TEST(ClipRowLook, EachKindHasItsSymbolAndTextOnlyShowsItsPreviewAsTooltip)
{
    const struct {
        Kind kind;
        const char* preview;
        const char* text;
        std::string_view symbol;
        std::string tooltip;
    } rows[] = {
        {Kind::text, "two lines of text", "two lines\n   of text", "text.alignleft", "two lines of text"},
        {Kind::url, "https://example.org/a", "https://example.org/a", "link", "https://example.org/a"},
        {Kind::image, "Image", "Image", "photo", "Image"},
        {Kind::file, "Quarterly Report.pdf", "Quarterly Report.pdf", "doc", "Quarterly Report.pdf"},
        {Kind::url, "https://example.org/long\u2026", "https://example.org/long/and/longer", "link",
         "https://example.org/long/and/longer"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const NotchClip clip{Uuid::random(), row.preview, row.kind, row.text};
        const ClipRowLook look = ClipRowLook::of(clip, false, false);
        EXPECT_EQ(look.symbol, row.symbol);
        EXPECT_EQ(look.text, row.preview);
        EXPECT_EQ(ClipRowLook::toolTip(clip), row.tooltip);
        EXPECT_EQ(look.symbolColor, Vude::Stone::x400);
        EXPECT_EQ(look.textColor, Vude::Stone::x100);
    }
}

TEST(ClipRowLook, CopiedShowsACheckmarkWhateverTheKindAndHidesTheCross)
{
    const NotchClip clip{Uuid::random(), "Image", Kind::image, "Image"};
    const struct {
        const char* why;
        bool hovering;
        bool justCopied;
        std::string_view symbol;
        std::string text;
        std::optional<Vude::Color> background;
        bool showsRemove;
    } rows[] = {
        {"at rest", false, false, "photo", "Image", {}, false},
        {"hovered: background and cross", true, false, "photo", "Image", Vude::Ink::x850, true},
        {"copied", false, true, "checkmark", "Copied", {}, false},
        {"copied under the pointer: no cross", true, true, "checkmark", "Copied", Vude::Ink::x850, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const ClipRowLook look = ClipRowLook::of(clip, row.hovering, row.justCopied);
        EXPECT_EQ(look.symbol, row.symbol);
        EXPECT_EQ(look.text, row.text);
        EXPECT_EQ(look.background, row.background);
        EXPECT_EQ(look.showsRemove, row.showsRemove);
        EXPECT_EQ(look.symbolColor, row.justCopied ? Vude::Semantic::sage : Vude::Stone::x400);
        EXPECT_EQ(look.textColor, row.justCopied ? Vude::Stone::x200 : Vude::Stone::x100);
    }
}

} // namespace
