#include "VudeKit/UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <memory>

std::size_t graphemeCount(std::string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    std::size_t count = 0;
    if (U_SUCCESS(status) && characters) {
        characters->setText(utext, status);
        for (int32_t end = characters->next(); end != icu::BreakIterator::DONE; end = characters->next())
            ++count;
    } else {
        // Without ICU's data, code points are the closest count.
        for (const char byte : text)
            count += U8_IS_TRAIL(static_cast<uint8_t>(byte)) ? 0 : 1;
    }
    utext_close(utext);
    return count;
}

std::string_view graphemePrefix(std::string_view text, std::size_t count)
{
    if (count == 0)
        return text.substr(0, 0);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    std::size_t length = text.size();
    if (U_SUCCESS(status) && characters) {
        characters->setText(utext, status);
        // A UTF-8 UText indexes by byte, so the boundary is a byte offset.
        std::size_t seen = 0;
        for (int32_t end = characters->next(); end != icu::BreakIterator::DONE; end = characters->next()) {
            if (++seen == count) {
                length = static_cast<std::size_t>(end);
                break;
            }
        }
    } else {
        std::size_t seen = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (U8_IS_TRAIL(static_cast<uint8_t>(text[i])))
                continue;
            if (seen++ == count) {
                length = i;
                break;
            }
        }
    }
    utext_close(utext);
    return text.substr(0, length);
}

std::string nfcNormalized(std::string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    const auto* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return std::string(text);
    std::string result;
    icu::StringByteSink<std::string> sink(&result, static_cast<int32_t>(text.size()));
    normalizer->normalizeUTF8(0, icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), sink, nullptr,
                              status);
    if (U_FAILURE(status))
        return std::string(text);
    return result;
}
