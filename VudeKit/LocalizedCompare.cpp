#include "VudeKit/LocalizedCompare.h"

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <memory>

namespace {

std::unique_ptr<icu::Collator> makeCollator()
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
    collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    if (U_FAILURE(status))
        return nullptr;
    return collator;
}

// A frozen collator is safe to share between threads for comparisons.
const icu::Collator* sharedCollator()
{
    static const std::unique_ptr<icu::Collator> collator = makeCollator();
    return collator.get();
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

int localizedStandardCompare(std::string_view a, std::string_view b)
{
    if (const auto* collator = sharedCollator()) {
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult result =
            collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                  icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
        if (U_SUCCESS(status))
            return static_cast<int>(result);
    }
    // Without ICU's data, byte order is the only stable answer.
    return sign(a.compare(b));
}
