#include "VudeServices/ShortcutSeeder.h"

#include "VudeKit/LocalizedCaseInsensitive.h"
#include "VudeKit/UnicodeText.h"

#include <algorithm>

const std::array<ShortcutSeeder::KeywordSymbol, 55> ShortcutSeeder::symbolTable{{
    {"timer", "timer"},
    {"alarm", "alarm"},
    {"stopwatch", "stopwatch"},
    {"do not disturb", "moon.fill"},
    {"dnd", "moon.fill"},
    {"focus", "moon.fill"},
    {"screenshot", "camera.viewfinder"},
    {"screen record", "record.circle"},
    {"record", "record.circle"},
    {"lock", "lock.fill"},
    {"sleep", "powersleep"},
    {"shut down", "power"},
    {"restart", "arrow.clockwise"},
    {"brightness", "sun.max.fill"},
    {"dark", "circle.lefthalf.filled"},
    {"light", "lightbulb.fill"},
    {"lamp", "lightbulb.fill"},
    {"volume", "speaker.wave.2.fill"},
    {"mute", "speaker.slash.fill"},
    {"wifi", "wifi"},
    {"bluetooth", "antenna.radiowaves.left.and.right"},
    {"airdrop", "airplayaudio"},
    {"airplane", "airplane"},
    {"vpn", "lock.shield"},
    {"note", "note.text"},
    {"reminder", "checklist"},
    {"todo", "checklist"},
    {"calendar", "calendar"},
    {"meeting", "video.fill"},
    {"zoom", "video.fill"},
    {"mail", "envelope.fill"},
    {"message", "message.fill"},
    {"music", "music.note"},
    {"play", "play.fill"},
    {"shazam", "shazam.logo"},
    {"podcast", "mic.fill"},
    {"battery", "battery.100"},
    {"low power", "battery.25"},
    {"charge", "bolt.fill"},
    {"purifier", "wind"},
    {"fan", "wind"},
    {"air", "wind"},
    {"temperature", "thermometer"},
    {"heat", "flame.fill"},
    {"home", "house.fill"},
    {"camera", "camera.fill"},
    {"photo", "photo.fill"},
    {"download", "arrow.down.circle.fill"},
    {"upload", "arrow.up.circle.fill"},
    {"trash", "trash.fill"},
    {"clean", "sparkles"},
    {"search", "magnifyingglass"},
    {"translate", "character.bubble"},
    {"weather", "cloud.sun.fill"},
    {"map", "map.fill"},
}};

const std::array<std::string_view, 24> ShortcutSeeder::priorityKeywords{
    "timer",      "focus",  "do not disturb", "dnd",      "screenshot", "screen recording",
    "lock",       "sleep",  "shut down",      "brightness", "volume",   "mute",
    "wifi",       "bluetooth", "airdrop",     "airplane", "note",       "reminder",
    "calendar",   "music",  "play",           "shazam",   "battery",    "low power",
};

std::string ShortcutSeeder::symbol(std::string_view name)
{
    for (const auto& row : symbolTable) {
        if (localizedCaseInsensitiveContains(name, row.keyword))
            return std::string(row.symbol);
    }
    return std::string(defaultSymbol);
}

std::vector<ShortcutEntry> ShortcutSeeder::seed(const std::vector<std::string>& available,
                                                const std::set<std::string>& existing)
{
    std::set<std::string> taken;
    for (const auto& name : existing)
        taken.insert(nfcNormalized(name));
    std::vector<std::string> candidates;
    for (const auto& name : available) {
        if (!taken.contains(nfcNormalized(name)))
            candidates.push_back(name);
    }
    if (candidates.empty())
        return {};

    // A name is picked once, even when two shortcuts share it.
    std::vector<std::string> picked;
    std::set<std::string> pickedNames;
    const auto pick = [&](const std::string& name) {
        if (pickedNames.insert(nfcNormalized(name)).second)
            picked.push_back(name);
    };
    for (const auto keyword : priorityKeywords) {
        for (const auto& name : candidates) {
            if (localizedCaseInsensitiveContains(name, keyword))
                pick(name);
        }
    }
    auto byName = candidates;
    std::stable_sort(byName.begin(), byName.end(), [](const std::string& a, const std::string& b) {
        return localizedCaseInsensitiveCompare(a, b) < 0;
    });
    for (const auto& name : byName)
        pick(name);

    std::vector<ShortcutEntry> entries;
    for (std::size_t k = 0; k < std::min(limit, picked.size()); ++k) {
        const auto& name = picked[k];
        entries.push_back(ShortcutEntry{Uuid::random(), name, std::nullopt, symbol(name), std::nullopt});
    }
    return entries;
}
