#include "VudeSync/NoteMerge.h"

#include "VudeKit/UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <memory>
#include <vector>

namespace {

/// The byte offsets at which the text's user-perceived characters end.
std::vector<std::size_t> characterEnds(std::string_view text)
{
    std::vector<std::size_t> ends;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status) || !characters) {
        utext_close(utext);
        // Without ICU's data every byte counts as a character: still a valid cut.
        for (std::size_t i = 1; i <= text.size(); ++i)
            ends.push_back(i);
        return ends;
    }
    characters->setText(utext, status);
    for (int32_t end = characters->next(); end != icu::BreakIterator::DONE; end = characters->next())
        ends.push_back(static_cast<std::size_t>(end));
    utext_close(utext);
    return ends;
}

bool canonicallyEqual(std::string_view a, std::string_view b)
{
    return a == b || nfcNormalized(a) == nfcNormalized(b);
}

/// Whether `text` begins with `prefix`, character by character.
bool beginsWith(std::string_view text, std::string_view prefix)
{
    const auto normalizedText = nfcNormalized(text);
    const auto normalizedPrefix = nfcNormalized(prefix);
    if (normalizedText.compare(0, normalizedPrefix.size(), normalizedPrefix) != 0)
        return false;
    // The match must end between two characters of the text: "e" does not
    // begin "e\u0301" (é).
    if (normalizedPrefix.size() == normalizedText.size() || normalizedPrefix.empty())
        return true;
    for (const auto end : characterEnds(normalizedText)) {
        if (end == normalizedPrefix.size())
            return true;
        if (end > normalizedPrefix.size())
            return false;
    }
    return false;
}

struct CommonPrefix {
    std::size_t localBytes = 0;  // P's length in `local`
    std::size_t remoteBytes = 0; // the same characters' length in `remote`
};

/// The common beginning of two texts, cut just after its last lone line feed
/// (a CR LF pair is one character and does not count) when it holds one.
CommonPrefix commonPrefix(std::string_view local, std::string_view remote)
{
    const auto localEnds = characterEnds(local);
    const auto remoteEnds = characterEnds(remote);
    CommonPrefix walked;
    CommonPrefix lastLineBoundary;
    bool sawLineFeed = false;
    std::size_t localStart = 0;
    std::size_t remoteStart = 0;
    for (std::size_t i = 0; i < localEnds.size() && i < remoteEnds.size(); ++i) {
        const auto localCharacter = local.substr(localStart, localEnds[i] - localStart);
        const auto remoteCharacter = remote.substr(remoteStart, remoteEnds[i] - remoteStart);
        if (!canonicallyEqual(localCharacter, remoteCharacter))
            break;
        localStart = localEnds[i];
        remoteStart = remoteEnds[i];
        walked = {localStart, remoteStart};
        if (localCharacter == "\n") {
            sawLineFeed = true;
            lastLineBoundary = walked;
        }
    }
    return sawLineFeed ? lastLineBoundary : walked;
}

} // namespace

std::string NoteMerge::merge(const std::optional<std::string>& base, const std::string& local,
                             const std::string& remote) const
{
    if (canonicallyEqual(local, remote))
        return local;
    if (local.empty())
        return remote;
    if (remote.empty())
        return local;
    if (beginsWith(remote, local))
        return remote;
    if (beginsWith(local, remote))
        return local;
    if (base) {
        if (canonicallyEqual(local, *base))
            return remote;
        if (canonicallyEqual(remote, *base))
            return local;
    }

    const auto prefix = commonPrefix(local, remote);
    const std::string_view localRest = std::string_view(local).substr(prefix.localBytes);
    const std::string_view remoteRest = std::string_view(remote).substr(prefix.remoteBytes);
    // Ordered by text, not by side, so two devices merging each other's text
    // build the same result. UTF-8 byte order is scalar-value order.
    const bool remoteFirst = nfcNormalized(remoteRest) < nfcNormalized(localRest);
    const auto first = remoteFirst ? remoteRest : localRest;
    const auto second = remoteFirst ? localRest : remoteRest;

    std::string merged(std::string_view(local).substr(0, prefix.localBytes));
    merged.reserve(merged.size() + first.size() + separator.size() + second.size());
    merged.append(first).append(separator).append(second);
    return merged;
}

bool NoteMerge::wouldConflict(const std::optional<std::string>& base, const std::string& local,
                              const std::string& remote) const
{
    return merge(base, local, remote).find(separator) != std::string::npos;
}
