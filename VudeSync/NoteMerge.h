#pragma once
// What a note's text becomes when two versions of it meet (this device's and
// the newest one written elsewhere). When one side is empty or extends the
// other, or a base shows only one side changed, one side wins whole;
// otherwise both are kept, one after the other, around a separator line the
// user can see and settle by editing. Pure: it reads nothing but its
// arguments.
//
// Texts are UTF-8. Canonically equivalent texts count as equal (they are
// compared in NFC), the common beginning is walked in user-perceived
// characters, and remainders are ordered by their Unicode scalar values in NFC.

#include <optional>
#include <string>
#include <string_view>

struct NoteMerge {
    /// Two line feeds, "--- conflicted copy ---", two line feeds: 27 characters.
    static constexpr std::string_view separator = "\n\n--- conflicted copy ---\n\n";

    std::string merge(const std::optional<std::string>& base, const std::string& local,
                      const std::string& remote) const;
    /// Whether merge() with the same arguments yields a text holding the separator.
    bool wouldConflict(const std::optional<std::string>& base, const std::string& local,
                       const std::string& remote) const;
};
