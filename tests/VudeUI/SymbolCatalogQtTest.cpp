#include "VudeKit/ActivityModels.h"
#include "VudeKit/PipelineID.h"
#include "VudeKit/WidgetID.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRawFont>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

/// Every symbol name the app draws, by where it is drawn.
const std::vector<std::pair<const char*, std::vector<std::string_view>>>& namesInUse()
{
    static const std::vector<std::pair<const char*, std::vector<std::string_view>>> groups{
        {"audio glyphs and output devices",
         {"speaker.slash.fill", "speaker.wave.2.fill", "airpods.gen3", "hifispeaker.fill", "tv", "airplayaudio",
          "laptopcomputer", "cable.connector", "display", "waveform.circle", "speaker.wave.2", "speaker.slash"}},
        {"brightness, battery, lock and keep-awake pills",
         {"sun.min.fill", "sun.max.fill", "keyboard.fill", "bolt.fill", "battery.50", "battery.25",
          "bolt.badge.a.fill", "battery.100.bolt", "calendar", "lock.open.fill", "cup.and.saucer.fill",
          "moon.zzz.fill", "music.note", "moon.fill"}},
        {"Bluetooth devices",
         {"airpods.max", "airpods.pro", "airpods.gen3", "beats.headphones", "magicmouse.fill", "keyboard.fill",
          "trackpad.fill", "headphones"}},
        {"notch, ambient media, menus and demo",
         {"tray.and.arrow.down.fill", "music.mic", "rectangle.topthird.inset.filled", "arrow.left.arrow.right",
          "arrow.up.arrow.down", "cursorarrow.click", "arrow.down.doc.fill"}},
        {"shortcut keywords",
         {"timer", "alarm", "stopwatch", "moon.fill", "camera.viewfinder", "record.circle", "lock.fill", "powersleep",
          "power", "arrow.clockwise", "sun.max.fill", "circle.lefthalf.filled", "lightbulb.fill",
          "speaker.wave.2.fill", "speaker.slash.fill", "wifi", "antenna.radiowaves.left.and.right", "airplayaudio",
          "airplane", "lock.shield", "note.text", "checklist", "calendar", "video.fill", "envelope.fill",
          "message.fill", "music.note", "play.fill", "shazam.logo", "mic.fill", "battery.100", "battery.25",
          "bolt.fill", "wind", "thermometer", "flame.fill", "house.fill", "camera.fill", "photo.fill",
          "arrow.down.circle.fill", "arrow.up.circle.fill", "trash.fill", "sparkles", "magnifyingglass",
          "character.bubble", "cloud.sun.fill", "map.fill"}},
        {"clipboard kinds", {"text.alignleft", "link", "photo", "doc", "checkmark"}},
        {"Desk header, widgets and tray",
         {"rectangle.3.group.fill", "tray.fill", "gearshape.fill", "chevron.up", "chevron.down", "square.grid.2x2",
          "checkmark.circle.fill", "exclamationmark.triangle.fill", "backward.fill", "pause.fill", "play.fill",
          "forward.fill", "calendar.badge.plus", "calendar.badge.exclamationmark", "video.fill", "plus",
          "checkmark.circle", "checkmark", "star.fill", "star", "xmark", "video.slash", "person.crop.circle",
          "questionmark", "location", "location.slash", "cloud.slash", "folder.fill", "doc.fill",
          "square.stack.3d.up.fill", "tray.and.arrow.down", "doc.on.clipboard"}},
        {"settings panes, permissions and onboarding",
         {"gearshape.fill", "bolt.fill", "airpods.gen3", "moon.fill", "sun.max.fill", "speaker.wave.2.fill",
          "play.fill", "calendar", "tray.fill", "lock.fill", "square.grid.2x2.fill", "sparkles",
          "doc.on.clipboard.fill", "info.circle.fill", "tortoise.fill", "hare.fill", "info.circle", "keyboard",
          "hand.tap", "camera", "desktopcomputer", "trash", "exclamationmark.triangle", "minus.circle.fill",
          "arrow.clockwise", "plus.circle", "magnifyingglass", "xmark.circle.fill"}},
        {"weather conditions",
         {"sun.max", "moon.stars", "cloud", "cloud.sun", "cloud.moon", "cloud.fog", "cloud.drizzle", "cloud.rain",
          "cloud.heavyrain", "cloud.snow", "cloud.sleet", "cloud.bolt.rain"}},
    };
    return groups;
}

std::vector<std::string_view> enumerationSymbols()
{
    std::vector<std::string_view> names;
    for (const auto kind : allCases<ActivityKind>())
        names.push_back(symbol(kind));
    for (const auto pipeline : allCases<PipelineID>()) {
        names.push_back(symbol(pipeline));
        names.push_back(DropLane::pipeline(pipeline).symbol());
    }
    names.push_back(DropLane::shelf().symbol());
    names.push_back(DropLane::airDrop().symbol());
    for (const auto widget : allCases<WidgetID>())
        names.push_back(symbol(widget));
    return names;
}

/// The bounding box of every pixel that is not fully transparent.
QRect inkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

class SymbolCatalogTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(SymbolCatalog::fontFamily().isEmpty()) << "icon font not installed"; }
};

TEST_F(SymbolCatalogTest, EveryNameInUseHasAGlyphInTheFont)
{
    const QRawFont font = QRawFont::fromFont(SymbolCatalog::font(14));
    ASSERT_TRUE(font.isValid());
    auto check = [&](std::string_view name) {
        SCOPED_TRACE(std::string(name));
        const auto glyph = SymbolCatalog::glyph(name);
        ASSERT_TRUE(glyph.has_value());
        EXPECT_TRUE(font.supportsCharacter(*glyph));
        EXPECT_FALSE(inkBounds(SymbolCatalog::image(name, 14, Qt::white)).isEmpty());
    };
    for (const auto& [where, names] : namesInUse()) {
        SCOPED_TRACE(where);
        for (const auto name : names)
            check(name);
    }
    for (const auto name : enumerationSymbols())
        check(name);
}

TEST_F(SymbolCatalogTest, CodePointsMatchTheFontsOwnIndex)
{
    QFile index("/usr/share/fonts-material-design-icons-iconfont/scss/_variables.scss");
    if (!index.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "the font package's index is not installed";
    const QString text = QString::fromUtf8(index.readAll());
    std::set<std::string_view> names;
    for (const auto& entry : SymbolCatalog::entries()) {
        SCOPED_TRACE(std::string(entry.name));
        EXPECT_TRUE(names.insert(entry.name).second) << "listed twice";
        const QRegularExpression row(QString("\"%1\": ([0-9a-f]+),").arg(QString::fromUtf8(entry.materialName.data(),
                                                                                          entry.materialName.size())));
        const auto match = row.match(text);
        ASSERT_TRUE(match.hasMatch()) << entry.materialName;
        EXPECT_EQ(match.captured(1).toUInt(nullptr, 16), entry.codepoint);
    }
}

TEST_F(SymbolCatalogTest, UnknownNamesDrawNothing)
{
    for (const std::string_view name : {"", "no.such.symbol", "Speaker.wave.2.fill", "speaker.wave.2.fill "}) {
        SCOPED_TRACE(std::string(name));
        EXPECT_FALSE(SymbolCatalog::contains(name));
        EXPECT_TRUE(SymbolCatalog::image(name, 14, Qt::white).isNull());
        QImage canvas(32, 32, QImage::Format_ARGB32);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        EXPECT_FALSE(SymbolCatalog::draw(painter, QRectF(0, 0, 32, 32), name, Qt::white, 14));
        painter.end();
        EXPECT_TRUE(inkBounds(canvas).isEmpty());
    }
}

TEST_F(SymbolCatalogTest, DrawsInTheTintAtTheRequestedSize)
{
    const QColor sage = toQColor(Vude::color(TintName::sage));
    const QImage image = SymbolCatalog::image("bolt.fill", 20, sage).convertToFormat(QImage::Format_ARGB32);
    int solid = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255) {
                ++solid;
                EXPECT_EQ(image.pixel(x, y) & 0xFFFFFF, sage.rgb() & 0xFFFFFF);
            }
    EXPECT_GT(solid, 20);

    const QRect small = inkBounds(SymbolCatalog::image("bolt.fill", 10, Qt::white));
    const QRect large = inkBounds(SymbolCatalog::image("bolt.fill", 30, Qt::white));
    EXPECT_GT(large.height(), 2 * small.height());
    EXPECT_TRUE(SymbolCatalog::image("bolt.fill", 0, Qt::white).isNull());
    EXPECT_TRUE(SymbolCatalog::image("bolt.fill", std::nan(""), Qt::white).isNull());
}

TEST_F(SymbolCatalogTest, WritesASheetOfEverySymbol)
{
    pinFontFamilies("DejaVu Sans");
    const auto& entries = SymbolCatalog::entries();
    constexpr int kColumns = 8;
    constexpr int kCellWidth = 150;
    constexpr int kCellHeight = 64;
    const int rows = (static_cast<int>(entries.size()) + kColumns - 1) / kColumns;
    QImage sheet(kColumns * kCellWidth, rows * kCellHeight, QImage::Format_ARGB32);
    sheet.fill(toQColor(Vude::Ink::x900));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QRectF cell((static_cast<int>(i) % kColumns) * kCellWidth, (static_cast<int>(i) / kColumns) * kCellHeight,
                          kCellWidth, kCellHeight);
        EXPECT_TRUE(SymbolCatalog::draw(painter, cell.adjusted(0, 4, 0, -24), entries[i].name,
                                        toQColor(Vude::Accent::x500), 22));
        painter.setPen(toQColor(Vude::Stone::x300));
        painter.setFont(systemFont(9));
        painter.drawText(cell.adjusted(2, kCellHeight - 22, -2, -4), Qt::AlignCenter,
                         QString::fromUtf8(entries[i].name.data(), static_cast<qsizetype>(entries[i].name.size())));
    }
    painter.end();
    unpinFontFamilies();
    QDir().mkpath("design-tokens");
    EXPECT_TRUE(sheet.save("design-tokens/symbols.png"));
}

} // namespace
