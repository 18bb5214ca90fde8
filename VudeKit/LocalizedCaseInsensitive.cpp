#include "VudeKit/LocalizedCaseInsensitive.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <memory>

namespace {

std::unique_ptr<icu::Collator> makeCollator(bool numeric)
{
    icu::Locale locale = icu::Locale::getDefault();
    if (std::string_view(locale.getName()) == "en_US_POSIX" || std::string_view(locale.getLanguage()).empty())
        locale = icu::Locale::getRoot();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status) || !collator)
        return nullptr;
    // Secondary strength: accents count, case does not.
    collator->setStrength(icu::Collator::SECONDARY);
    if (numeric) {
        collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        if (U_FAILURE(status))
            return nullptr;
    }
    return collator;
}

// A collator that is only compared with is safe to share between threads.
const icu::Collator* sharedCollator()
{
    static const std::unique_ptr<icu::Collator> collator = makeCollator(false);
    return collator.get();
}

const icu::Collator* sharedNumericCollator()
{
    static const std::unique_ptr<icu::Collator> collator = makeCollator(true);
    return collator.get();
}

icu::UnicodeString folded(std::string_view text)
{
    icu::UnicodeString value = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    const auto* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return value.foldCase();
    icu::UnicodeString composed = nfc->normalize(value, status);
    if (U_FAILURE(status))
        return value.foldCase();
    composed.foldCase();
    // Folding can decompose ("ǰ" folds to j and a combining caron).
    icu::UnicodeString result = nfc->normalize(composed, status);
    return U_SUCCESS(status) ? result : composed;
}

int compareWith(const icu::Collator* collator, std::string_view a, std::string_view b)
{
    if (collator) {
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult result =
            collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                  icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
        if (U_SUCCESS(status))
            return static_cast<int>(result);
    }
    // Without ICU's data: folded code units, still ignoring case.
    const int byFolding = folded(a).compare(folded(b));
    if (byFolding != 0)
        return byFolding < 0 ? -1 : 1;
    return 0;
}

} // namespace

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b)
{
    return compareWith(sharedCollator(), a, b);
}

int localizedStandardCompare(std::string_view a, std::string_view b)
{
    return compareWith(sharedNumericCollator(), a, b);
}

bool localizedCaseInsensitiveContains(std::string_view text, std::string_view part)
{
    if (part.empty())
        return true;
    return folded(text).indexOf(folded(part)) >= 0;
}
