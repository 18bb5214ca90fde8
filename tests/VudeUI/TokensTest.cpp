#include "VudeUI/Tokens.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

TEST(Tokens, ColoursTakeTheirComponentsFromTheHexBits)
{
    const Vude::Color sage = Vude::Semantic::sage;
    EXPECT_EQ(sage.red(), 111 / 255.0);
    EXPECT_EQ(sage.green(), 138 / 255.0);
    EXPECT_EQ(sage.blue(), 98 / 255.0);
    EXPECT_EQ(sage.opacity(), 1.0);
    // Bits above the 24 colour bits are not a colour.
    EXPECT_EQ(Vude::Color(0xFF6F8A62), sage);
}

TEST(Tokens, SpotChecksOfTheRamps)
{
    struct Row {
        Vude::Color token;
        std::uint32_t hex;
        double opacity;
        const char* name;
    } rows[] = {
        {Vude::Ink::x1000, 0x000000, 1, "Ink.x1000"},
        {Vude::Ink::x850, 0x1A1817, 1, "Ink.x850"},
        {Vude::Ink::x500, 0x55504B, 1, "Ink.x500"},
        {Vude::Stone::x100, 0xEFEAE3, 1, "Stone.x100"},
        {Vude::Stone::x400, 0x7B736C, 1, "Stone.x400"},
        {Vude::Paper::x50, 0xFAF7F2, 1, "Paper.x50"},
        {Vude::Paper::x900, 0x211E1B, 1, "Paper.x900"},
        {Vude::Accent::x500, 0xEDE6DA, 1, "Accent.x500"},
        {Vude::Accent::x300, 0xFFFDF8, 1, "Accent.x300"},
        {Vude::Accent::tint, 0xEDE6DA, 0.12, "Accent.tint"},
        {Vude::Accent::on, 0x000000, 1, "Accent.on"},
        {Vude::Semantic::oxblood, 0x8E3A37, 1, "Semantic.oxblood"},
        {Vude::contrastOutline, 0xEFEAE3, 0.08, "contrastOutline"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.token.hex(), row.hex);
        EXPECT_EQ(row.token.opacity(), row.opacity);
    }
}

TEST(Tokens, EveryTintHasItsColour)
{
    struct Row {
        TintName tint;
        Vude::Color color;
    } rows[] = {
        {TintName::brass, Vude::Accent::x500},      {TintName::sage, Vude::Semantic::sage},
        {TintName::amber, Vude::Semantic::amber},   {TintName::oxblood, Vude::Semantic::oxblood},
        {TintName::slate, Vude::Semantic::slate},   {TintName::stone, Vude::Stone::x100},
    };
    ASSERT_EQ(std::size(rows), allCases<TintName>().size());
    for (const auto& row : rows)
        EXPECT_EQ(Vude::color(row.tint), row.color) << rawValue(row.tint);
}

TEST(Tokens, ASymbolOnATintTileStandsOutFromIt)
{
    const struct Row {
        TintName tint;
        Vude::Color symbol;
        const char* why;
    } rows[] = {
        {TintName::brass, Vude::Accent::on, "the accent fill: black, as on every accent fill"},
        {TintName::stone, Vude::Accent::on, "near white: white would vanish"},
        {TintName::sage, Vude::Color{0xFFFFFF}, "dark enough for white"},
        {TintName::amber, Vude::Color{0xFFFFFF}, "dark enough for white"},
        {TintName::oxblood, Vude::Color{0xFFFFFF}, "dark enough for white"},
        {TintName::slate, Vude::Color{0xFFFFFF}, "dark enough for white"},
    };
    ASSERT_EQ(std::size(rows), allCases<TintName>().size());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(Vude::onColor(row.tint), row.symbol) << rawValue(row.tint);
    }
}

TEST(Tokens, TypeScale)
{
    using Vude::FontDesign;
    using Vude::FontWeight;
    EXPECT_EQ(Vude::Type_::activityTitle, (Vude::FontToken{13, FontWeight::semibold}));
    EXPECT_EQ(Vude::Type_::activitySubtitle, (Vude::FontToken{11, FontWeight::regular}));
    EXPECT_EQ(Vude::Type_::timerDigits, (Vude::FontToken{34, FontWeight::medium, FontDesign::rounded, true}));
    EXPECT_EQ(Vude::Type_::numeric, (Vude::FontToken{11, FontWeight::medium, FontDesign::monospaced}));
    EXPECT_EQ(Vude::Radius::notchBottomOpen, 34);
    EXPECT_EQ(Vude::Metric::activityHeight, 32);
    EXPECT_EQ(Vude::Metric::maxRavoWidth, 1100);
}

TEST(Tokens, SpringsAreResponseAndDamping)
{
    struct Row {
        Vude::Animation animation;
        Duration response;
        double damping;
        const char* name;
    } rows[] = {
        {Vude::Motion::open, 420ms, 0.78, "open"},
        {Vude::Motion::close, 340ms, 0.86, "close"},
        {Vude::Motion::activityIn, 360ms, 0.72, "activityIn"},
        {Vude::Motion::activityOut, 280ms, 0.9, "activityOut"},
        {Vude::Motion::morph, 320ms, 0.85, "morph"},
        {Vude::Motion::hover, 250ms, 0.85, "hover"},
        {Vude::Motion::hud(Vude::HUDSpeed::smooth), 500ms, 0.85, "hud smooth"},
        {Vude::Motion::hud(Vude::HUDSpeed::fast), 280ms, 0.85, "hud fast"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.animation.curve, Vude::Animation::Curve::spring);
        EXPECT_EQ(row.animation.response, row.response);
        EXPECT_EQ(row.animation.dampingFraction, row.damping);
        EXPECT_EQ(row.animation.blendDuration, Duration::zero());
        EXPECT_FALSE(row.animation.isInstant());
    }
}

TEST(Tokens, InstantHUDCompletesAtOnce)
{
    const auto instant = Vude::Motion::hud(Vude::HUDSpeed::instant);
    EXPECT_EQ(instant.curve, Vude::Animation::Curve::linear);
    EXPECT_EQ(instant.duration, Duration::zero());
    EXPECT_TRUE(instant.isInstant());
}

TEST(Tokens, ReduceMotionSwapsAnyAnimationForAShortEase)
{
    const auto reduced = Vude::Motion::respectingReduceMotion(Vude::Motion::open, true);
    EXPECT_EQ(reduced.curve, Vude::Animation::Curve::easeInOut);
    EXPECT_EQ(reduced.duration, 200ms);
    EXPECT_EQ(Vude::Motion::respectingReduceMotion(Vude::Motion::hud(Vude::HUDSpeed::instant), true), reduced);
    EXPECT_EQ(Vude::Motion::respectingReduceMotion(Vude::Motion::open, false), Vude::Motion::open);
}

TEST(Tokens, HUDSpeedMirrorsTheSettingCaseForCase)
{
    const auto settings = allCases<::HUDSpeed>();
    const auto tokens = allCases<Vude::HUDSpeed>();
    ASSERT_EQ(settings.size(), tokens.size());
    for (std::size_t i = 0; i < settings.size(); ++i) {
        EXPECT_EQ(Vude::hudSpeed(settings[i]), tokens[i]);
        EXPECT_EQ(rawValue(tokens[i]), rawValue(settings[i]));
        EXPECT_EQ(enumFromRaw<Vude::HUDSpeed>(rawValue(settings[i])), tokens[i]);
    }
    EXPECT_EQ(enumFromRaw<Vude::HUDSpeed>("Smooth"), std::nullopt);
}

} // namespace
