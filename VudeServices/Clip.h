#pragma once
// One entry of the clipboard history, and the history file's format.

#include "VudeKit/Date.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/Uuid.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Clip {
    enum class Kind { text, url, image, file };

    Uuid id;
    Kind kind = Kind::text;
    /// Text and links: the copied text exactly. Images: "Image". Files: the
    /// file's name.
    std::string text;
    /// Images: the PNG in the history's image folder. Files: the copied file
    /// where it lies. None for text and links.
    std::optional<std::string> storedPath;
    Date copiedAt;
    /// The application in front when the copy was noticed.
    std::optional<std::string> sourceApp;

    /// The symbol drawn for the kind.
    std::string_view symbol() const;
    /// `text` on one line: line feeds and tabs become spaces, runs of spaces
    /// collapse, and past 120 characters it is cut and ends in "…".
    std::string preview() const;

    friend bool operator==(const Clip&, const Clip&) = default;
};

template <>
struct EnumTraits<Clip::Kind> {
    using K = Clip::Kind;
    static constexpr std::array cases{
        EnumCase{K::text, "text", "Text", "text.alignleft"},
        EnumCase{K::url, "url", "Link", "link"},
        EnumCase{K::image, "image", "Image", "photo"},
        EnumCase{K::file, "file", "File", "doc"},
    };
};

/// The preview rule on any text.
std::string clipPreview(std::string_view text);

/// The history file: a compact JSON array of the clips in order.
std::string encodeClipHistory(const std::vector<Clip>& clips);
/// None when the file is not JSON, not an array, or any clip lacks a field,
/// has one of the wrong type or names an unknown kind: the whole history is
/// then unreadable.
std::optional<std::vector<Clip>> decodeClipHistory(std::string_view json);
