#include "VudeUI/ActivityMetrics.h"
#include "VudeUI/qt/QtTextMeasurer.h"
#include "VudeUI/qt/QtTokens.h"

#include <QDir>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class QtTokensTest : public testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override { unpinFontFamilies(); }
};

TEST_F(QtTokensTest, ColoursKeepComponentsAndOpacity)
{
    const QColor sage = toQColor(Vude::Semantic::sage);
    EXPECT_EQ(sage, QColor(111, 138, 98));
    const QColor tint = toQColor(Vude::Accent::tint);
    EXPECT_EQ(tint.rgb() & 0xFFFFFF, 0xEDE6DAu);
    EXPECT_NEAR(tint.alphaF(), 0.12, 1.0 / 255);
    EXPECT_EQ(toQColor(Vude::Color(0xFFFFFF, 7)).alpha(), 255) << "opacity is clamped";
    EXPECT_EQ(toQColor(Vude::Color(0xFFFFFF, -1)).alpha(), 0);
}

TEST_F(QtTokensTest, FontsAreSizedInLogicalPixels)
{
    const QFont title = toQFont(Vude::Type_::activityTitle);
    EXPECT_EQ(QFontInfo(title).family(), "DejaVu Sans");
    EXPECT_EQ(title.pixelSize(), 13);
    EXPECT_EQ(title.weight(), QFont::DemiBold);
    EXPECT_EQ(toQFont(Vude::Type_::activitySubtitle).weight(), QFont::Normal);
    EXPECT_EQ(toQFont(Vude::Type_::timerDigits).weight(), QFont::Medium);
    EXPECT_EQ(QFontInfo(toQFont(Vude::Type_::numeric)).family(), "DejaVu Sans Mono");
    EXPECT_TRUE(QFontInfo(toQFont(Vude::Type_::numeric)).fixedPitch());
}

TEST_F(QtTokensTest, FractionalSizesKeepTheirFraction)
{
    const QFont font = systemFont(12.5);
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    EXPECT_DOUBLE_EQ(font.pointSizeF() * dpi / 72, 12.5);
    // FreeType draws whole pixel sizes; the engine lands on a neighbour.
    const int drawn = QFontInfo(font).pixelSize();
    EXPECT_TRUE(drawn == 12 || drawn == 13) << drawn;
    const double small = QFontMetricsF(systemFont(12)).horizontalAdvance("MMMMMMMMMM");
    const double large = QFontMetricsF(systemFont(13)).horizontalAdvance("MMMMMMMMMM");
    const double half = QFontMetricsF(font).horizontalAdvance("MMMMMMMMMM");
    EXPECT_GE(half, small);
    EXPECT_LE(half, large);
    // Nonsense sizes still make a usable font.
    EXPECT_GT(QFontInfo(systemFont(std::nan(""))).pixelSize(), 0);
    EXPECT_GT(QFontInfo(systemFont(-4)).pixelSize(), 0);
}

TEST_F(QtTokensTest, MeasuredWidthsAreWholePointsAndFollowTheFont)
{
    const QtTextMeasurer measurer;
    const double regular = measurer.width("Built-in Display", 13, Vude::FontWeight::regular);
    const double bold = measurer.width("Built-in Display", 13, Vude::FontWeight::bold);
    EXPECT_EQ(regular, std::ceil(regular));
    EXPECT_GT(regular, 60);
    EXPECT_GT(bold, regular);
    EXPECT_LT(measurer.width("Built-in Display", 11, Vude::FontWeight::regular), regular);
    EXPECT_EQ(measurer.width("", 13, Vude::FontWeight::regular), 0);
    EXPECT_GT(measurer.width("Café ☕", 13, Vude::FontWeight::regular), measurer.width("Caf", 13, Vude::FontWeight::regular));
}

TEST_F(QtTokensTest, PercentAccessoryIsMeasuredAsItIsDrawn)
{
    const QtTextMeasurer measurer;
    const ActivityMetrics metrics(measurer);
    EXPECT_EQ(metrics.trailingWidth(ActivityTrailing::percent(0.29)),
              measurer.width("29%", 11, Vude::FontWeight::medium) + 8);
}

// One swatch strip per ramp, written under the test's working directory for a
// person to look at. Each swatch lies over a light checkerboard above and a
// dark one below, so translucent tokens show on both kinds of surface.
struct Swatch {
    const char* name;
    Vude::Color color;
};

QImage rampImage(const std::vector<Swatch>& swatches)
{
    constexpr int kSide = 96;
    constexpr int kLabel = 34;
    QImage image(kSide * static_cast<int>(swatches.size()), kSide + kLabel, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (std::size_t i = 0; i < swatches.size(); ++i) {
        const QRect cell(static_cast<int>(i) * kSide, 0, kSide, kSide);
        for (int y = 0; y < kSide; y += 8)
            for (int x = 0; x < kSide; x += 8)
                painter.fillRect(cell.x() + x, y, 8, 8,
                                 y < kSide / 2 ? (((x + y) / 8) % 2 ? QColor(200, 200, 200) : QColor(Qt::white))
                                               : (((x + y) / 8) % 2 ? QColor(40, 40, 40) : QColor(70, 70, 70)));
        painter.fillRect(cell, toQColor(swatches[i].color));
        painter.setPen(Qt::black);
        painter.setFont(systemFont(11, Vude::FontWeight::semibold));
        const QString hex = QString("%1").arg(swatches[i].color.hex(), 6, 16, QChar('0')).toUpper();
        const QString opacity =
            swatches[i].color.opacity() < 1 ? QString(" @%1").arg(swatches[i].color.opacity()) : QString();
        painter.drawText(QRect(cell.x(), kSide, kSide, kLabel), Qt::AlignCenter,
                         QString::fromLatin1(swatches[i].name) + "\n" + hex + opacity);
    }
    return image;
}

TEST_F(QtTokensTest, WritesOneImagePerRamp)
{
    const std::vector<std::pair<const char*, std::vector<Swatch>>> ramps{
        {"Ink",
         {{"x1000", Vude::Ink::x1000}, {"x950", Vude::Ink::x950}, {"x900", Vude::Ink::x900},
          {"x850", Vude::Ink::x850}, {"x800", Vude::Ink::x800}, {"x700", Vude::Ink::x700},
          {"x600", Vude::Ink::x600}, {"x500", Vude::Ink::x500}}},
        {"Stone",
         {{"x100", Vude::Stone::x100}, {"x200", Vude::Stone::x200}, {"x300", Vude::Stone::x300},
          {"x400", Vude::Stone::x400}}},
        {"Paper",
         {{"x50", Vude::Paper::x50}, {"x100", Vude::Paper::x100}, {"x200", Vude::Paper::x200},
          {"x900", Vude::Paper::x900}}},
        {"Accent",
         {{"x700", Vude::Accent::x700}, {"x600", Vude::Accent::x600}, {"x500", Vude::Accent::x500},
          {"x400", Vude::Accent::x400}, {"x300", Vude::Accent::x300}, {"tint", Vude::Accent::tint},
          {"on", Vude::Accent::on}}},
        {"Semantic",
         {{"sage", Vude::Semantic::sage}, {"amber", Vude::Semantic::amber}, {"oxblood", Vude::Semantic::oxblood},
          {"slate", Vude::Semantic::slate}, {"outline", Vude::contrastOutline}}},
    };
    QDir().mkpath("design-tokens");
    for (const auto& [name, swatches] : ramps) {
        SCOPED_TRACE(name);
        const QImage image = rampImage(swatches);
        // Opaque swatches land exactly on their colour.
        for (std::size_t i = 0; i < swatches.size(); ++i)
            if (swatches[i].color.opacity() == 1) {
                EXPECT_EQ(image.pixel(static_cast<int>(i) * 96 + 48, 48) & 0xFFFFFF, swatches[i].color.hex());
            }
        const QString path = QString("design-tokens/%1.png").arg(name);
        ASSERT_TRUE(image.save(path)) << path.toStdString();
    }
}

} // namespace
