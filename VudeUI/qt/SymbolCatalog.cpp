#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

using Entry = SymbolCatalog::Entry;

// Symbol name, Material icon, its code point in the font. The weather rows
// cover the condition symbols the weather provider hands out.
std::vector<Entry> makeEntries()
{
    std::vector<Entry> entries{
        {"airplane", "flight", 0xE539},
        {"airplayaudio", "airplay", 0xE055},
        {"airpods.gen3", "earbuds", 0xF003},
        {"airpods.max", "headphones", 0xF01F},
        {"airpods.pro", "earbuds", 0xF003},
        {"alarm", "alarm", 0xE855},
        {"antenna.radiowaves.left.and.right", "settings_input_antenna", 0xE8BF},
        {"arrow.clockwise", "refresh", 0xE5D5},
        {"arrow.down.circle", "arrow_circle_down", 0xF181},
        {"arrow.down.circle.fill", "arrow_circle_down", 0xF181},
        {"arrow.down.doc", "file_download", 0xE2C4},
        {"arrow.down.doc.fill", "file_download", 0xE2C4},
        {"arrow.left.arrow.right", "swap_horiz", 0xE8D4},
        {"arrow.triangle.2.circlepath", "sync", 0xE627},
        {"arrow.up.arrow.down", "swap_vert", 0xE8D5},
        {"arrow.up.bin", "unarchive", 0xE169},
        {"arrow.up.circle.fill", "arrow_circle_up", 0xF182},
        {"backward.fill", "fast_rewind", 0xE020},
        {"battery.100", "battery_full", 0xE1A4},
        {"battery.100.bolt", "battery_charging_full", 0xE1A3},
        {"battery.25", "battery_2_bar", 0xEBE0},
        {"battery.50", "battery_4_bar", 0xEBE2},
        {"beats.headphones", "headphones", 0xF01F},
        {"bolt.badge.a.fill", "battery_saver", 0xEFDE},
        {"bolt.fill", "bolt", 0xEA0B},
        {"cable.connector", "cable", 0xEFE6},
        {"calendar", "calendar_today", 0xE935},
        {"calendar.badge.exclamationmark", "event_busy", 0xE615},
        {"calendar.badge.plus", "edit_calendar", 0xE742},
        {"camera", "photo_camera", 0xE412},
        {"camera.fill", "photo_camera", 0xE412},
        {"camera.viewfinder", "screenshot_monitor", 0xEC08},
        {"character.bubble", "translate", 0xE8E2},
        {"checklist", "checklist", 0xE6B1},
        {"checkmark", "check", 0xE5CA},
        {"checkmark.circle", "check_circle_outline", 0xE92D},
        {"checkmark.circle.fill", "check_circle", 0xE86C},
        {"chevron.down", "expand_more", 0xE5CF},
        {"chevron.up", "expand_less", 0xE5CE},
        {"circle.lefthalf.filled", "contrast", 0xEB37},
        {"cloud", "cloud_queue", 0xE2C2},
        {"cloud.bolt.rain", "thunderstorm", 0xEBDB},
        {"cloud.bolt.rain.fill", "thunderstorm", 0xEBDB},
        {"cloud.drizzle", "grain", 0xE3EA},
        {"cloud.drizzle.fill", "grain", 0xE3EA},
        {"cloud.fill", "cloud", 0xE2BD},
        {"cloud.fog", "foggy", 0xE818},
        {"cloud.fog.fill", "foggy", 0xE818},
        {"cloud.heavyrain", "water_drop", 0xE798},
        {"cloud.heavyrain.fill", "water_drop", 0xE798},
        {"cloud.moon", "nightlight", 0xF03D},
        {"cloud.moon.fill", "nightlight", 0xF03D},
        {"cloud.rain", "beach_access", 0xEB3E},
        {"cloud.rain.fill", "beach_access", 0xEB3E},
        {"cloud.slash", "cloud_off", 0xE2C1},
        {"cloud.sleet", "cloudy_snowing", 0xE810},
        {"cloud.sleet.fill", "cloudy_snowing", 0xE810},
        {"cloud.snow", "ac_unit", 0xEB3B},
        {"cloud.snow.fill", "ac_unit", 0xEB3B},
        {"cloud.sun", "filter_drama", 0xE3DD},
        {"cloud.sun.fill", "filter_drama", 0xE3DD},
        {"cup.and.saucer.fill", "coffee", 0xEFEF},
        {"cursorarrow.click", "ads_click", 0xE762},
        {"desktopcomputer", "desktop_windows", 0xE30C},
        {"display", "monitor", 0xEF5B},
        {"doc", "insert_drive_file", 0xE24D},
        {"doc.fill", "insert_drive_file", 0xE24D},
        {"doc.on.clipboard", "content_paste", 0xE14F},
        {"doc.on.clipboard.fill", "content_paste", 0xE14F},
        {"doc.richtext", "picture_as_pdf", 0xE415},
        {"doc.zipper", "folder_zip", 0xEB2C},
        {"dot.radiowaves.right", "rss_feed", 0xE0E5},
        {"envelope.fill", "email", 0xE0BE},
        {"exclamationmark.triangle", "warning_amber", 0xF083},
        {"exclamationmark.triangle.fill", "warning", 0xE002},
        {"eye.slash", "visibility_off", 0xE8F5},
        {"flame.fill", "local_fire_department", 0xEF55},
        {"folder.fill", "folder", 0xE2C7},
        {"forward.fill", "fast_forward", 0xE01F},
        {"gearshape.fill", "settings", 0xE8B8},
        {"hand.tap", "touch_app", 0xE913},
        {"hare.fill", "cruelty_free", 0xE799},
        {"headphones", "headphones", 0xF01F},
        {"hifispeaker.fill", "speaker", 0xE32D},
        {"house.fill", "home", 0xE88A},
        {"info.circle", "info_outline", 0xE88F},
        {"info.circle.fill", "info", 0xE88E},
        {"keyboard", "keyboard", 0xE312},
        {"keyboard.fill", "keyboard", 0xE312},
        {"laptopcomputer", "laptop", 0xE31E},
        {"lightbulb.fill", "lightbulb", 0xE0F0},
        {"link", "link", 0xE157},
        {"location", "near_me", 0xE569},
        {"location.slash", "near_me_disabled", 0xF1EF},
        {"lock.fill", "lock", 0xE897},
        {"lock.open.fill", "lock_open", 0xE898},
        {"lock.shield", "vpn_lock", 0xE62F},
        {"magicmouse.fill", "mouse", 0xE323},
        {"magnifyingglass", "search", 0xE8B6},
        {"map.fill", "map", 0xE55B},
        {"message.fill", "chat_bubble", 0xE0CA},
        {"mic.fill", "mic", 0xE029},
        {"minus.circle.fill", "remove_circle", 0xE15C},
        {"moon.fill", "dark_mode", 0xE51C},
        {"moon.stars", "nights_stay", 0xEA46},
        {"moon.stars.fill", "nights_stay", 0xEA46},
        {"moon.zzz.fill", "bedtime", 0xEF44},
        {"music.mic", "mic_external_on", 0xEF5A},
        {"music.note", "music_note", 0xE405},
        {"note.text", "sticky_note_2", 0xF1FC},
        {"pause.fill", "pause", 0xE034},
        {"person.crop.circle", "account_circle", 0xE853},
        {"photo", "image", 0xE3F4},
        {"photo.fill", "image", 0xE3F4},
        {"play.fill", "play_arrow", 0xE037},
        {"plus", "add", 0xE145},
        {"plus.circle", "add_circle_outline", 0xE148},
        {"power", "power_settings_new", 0xE8AC},
        {"powersleep", "mode_standby", 0xF037},
        {"questionmark", "question_mark", 0xEB8B},
        {"record.circle", "radio_button_checked", 0xE837},
        {"rectangle.3.group.fill", "dashboard", 0xE871},
        {"rectangle.topthird.inset.filled", "web_asset", 0xE069},
        {"shazam.logo", "graphic_eq", 0xE1B8},
        {"sparkles", "auto_awesome", 0xE65F},
        {"speaker.slash", "volume_off", 0xE04F},
        {"speaker.slash.fill", "volume_off", 0xE04F},
        {"speaker.wave.2", "volume_up", 0xE050},
        {"speaker.wave.2.fill", "volume_up", 0xE050},
        {"square.grid.2x2", "grid_view", 0xE9B0},
        {"square.grid.2x2.fill", "grid_view", 0xE9B0},
        {"square.stack.3d.up.fill", "layers", 0xE53B},
        {"star", "star_border", 0xE83A},
        {"star.fill", "star", 0xE838},
        {"stopwatch", "av_timer", 0xE01B},
        {"sun.max", "wb_sunny", 0xE430},
        {"sun.max.fill", "brightness_high", 0xE1AC},
        {"sun.min.fill", "brightness_low", 0xE1AD},
        {"text.alignleft", "format_align_left", 0xE236},
        {"textformat", "text_fields", 0xE262},
        {"thermometer", "thermostat", 0xF076},
        {"timer", "timer", 0xE425},
        {"tortoise.fill", "slow_motion_video", 0xE068},
        {"trackpad.fill", "crop_landscape", 0xE3C3},
        {"trash", "delete", 0xE872},
        {"trash.fill", "delete", 0xE872},
        {"tray.and.arrow.down", "move_to_inbox", 0xE168},
        {"tray.and.arrow.down.fill", "move_to_inbox", 0xE168},
        {"tray.fill", "inbox", 0xE156},
        {"tv", "tv", 0xE333},
        {"video.fill", "videocam", 0xE04B},
        {"video.slash", "videocam_off", 0xE04C},
        {"waveform.circle", "graphic_eq", 0xE1B8},
        {"wifi", "wifi", 0xE63E},
        {"wind", "air", 0xEFD8},
        {"xmark", "close", 0xE5CD},
        {"xmark.circle.fill", "cancel", 0xE5C9},
    };
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
}

QString loadFontFamily()
{
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(SymbolCatalog::kFontPath));
    if (id >= 0) {
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty())
            return families.constFirst();
    }
    // The same font installed under another path is still found by its name.
    const QString family = QStringLiteral("Material Icons");
    return QFontDatabase::families().contains(family) ? family : QString();
}

} // namespace

const std::vector<Entry>& SymbolCatalog::entries()
{
    static const std::vector<Entry> table = makeEntries();
    return table;
}

std::optional<char32_t> SymbolCatalog::glyph(std::string_view name)
{
    const auto& table = entries();
    const auto found = std::lower_bound(table.begin(), table.end(), name,
                                        [](const Entry& entry, std::string_view key) { return entry.name < key; });
    if (found == table.end() || found->name != name)
        return std::nullopt;
    return found->codepoint;
}

QString SymbolCatalog::fontFamily()
{
    static const QString family = loadFontFamily();
    return family;
}

QFont SymbolCatalog::font(double size)
{
    QFont font(fontFamily());
    // A glyph missing from the icon font must not be drawn from another font.
    font.setStyleStrategy(QFont::NoFontMerging);
    const double pixels = std::isfinite(size) && size > 0 ? size * kOpticalScale : 1;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    return font;
}

bool SymbolCatalog::draw(QPainter& painter, const QRectF& rect, std::string_view name, const QColor& color,
                         double size)
{
    const auto codepoint = glyph(name);
    if (!codepoint || fontFamily().isEmpty())
        return false;
    painter.save();
    painter.setFont(font(size));
    painter.setPen(color);
    painter.drawText(rect, Qt::AlignCenter, QString::fromUcs4(&*codepoint, 1));
    painter.restore();
    return true;
}

QImage SymbolCatalog::image(std::string_view name, double size, const QColor& color, qreal devicePixelRatio)
{
    if (!contains(name) || fontFamily().isEmpty() || !(size > 0) || !(devicePixelRatio > 0))
        return {};
    const double pixels = std::ceil(size * kOpticalScale * devicePixelRatio);
    if (pixels > 4096)
        return {};
    const int side = static_cast<int>(pixels);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double logicalSide = side / devicePixelRatio;
    draw(painter, QRectF(0, 0, logicalSide, logicalSide), name, color, size);
    return image;
}
