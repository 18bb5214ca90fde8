#include "VudeServices/MediaKey.h"

#include <utility>

namespace {

constexpr std::array<std::pair<KeySymbol, MediaKey>, 13> symbolTable{{
    {KeySymbols::audioRaiseVolume, MediaKey::soundUp},
    {KeySymbols::audioLowerVolume, MediaKey::soundDown},
    {KeySymbols::audioMute, MediaKey::mute},
    {KeySymbols::monBrightnessUp, MediaKey::brightnessUp},
    {KeySymbols::monBrightnessDown, MediaKey::brightnessDown},
    {KeySymbols::kbdBrightnessUp, MediaKey::illuminationUp},
    {KeySymbols::kbdBrightnessDown, MediaKey::illuminationDown},
    {KeySymbols::audioPlay, MediaKey::play},
    {KeySymbols::audioPause, MediaKey::play},
    {KeySymbols::audioNext, MediaKey::next},
    {KeySymbols::audioPrev, MediaKey::previous},
    {KeySymbols::audioForward, MediaKey::fast},
    {KeySymbols::audioRewind, MediaKey::rewind},
}};

constexpr std::array<KeySymbol, symbolTable.size()> symbolList()
{
    std::array<KeySymbol, symbolTable.size()> symbols{};
    for (std::size_t index = 0; index < symbolTable.size(); ++index)
        symbols[index] = symbolTable[index].first;
    return symbols;
}

constexpr auto allSymbols = symbolList();

} // namespace

std::optional<MediaKey> mediaKeyFromRawValue(int rawValue)
{
    for (MediaKey key : allCases<MediaKey>())
        if (static_cast<int>(key) == rawValue)
            return key;
    return std::nullopt;
}

std::optional<MediaKey> mediaKeyFromSymbol(KeySymbol symbol)
{
    for (const auto& [tableSymbol, key] : symbolTable)
        if (tableSymbol == symbol)
            return key;
    return std::nullopt;
}

std::span<const KeySymbol> mediaKeySymbols()
{
    return allSymbols;
}

std::vector<KeySymbol> symbolsOf(MediaKey key)
{
    std::vector<KeySymbol> symbols;
    for (const auto& [symbol, tableKey] : symbolTable)
        if (tableKey == key)
            symbols.push_back(symbol);
    return symbols;
}

std::optional<MediaKeyEvent> MediaKeyEvent::decode(const KeyTapEvent& event)
{
    const auto key = mediaKeyFromSymbol(event.symbol);
    if (!key)
        return std::nullopt;
    return MediaKeyEvent{*key, event.isDown, event.isRepeat, event.isShiftHeld && event.isAltHeld};
}
