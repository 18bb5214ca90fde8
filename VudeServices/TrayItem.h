#pragma once
// One entry of the file tray, and the tray's index file "index.json": a
// compact JSON array of the items, newest first.

#include "VudeKit/Date.h"
#include "VudeKit/Uuid.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TrayItem {
    /// Also names the item's folder in the tray, in upper case.
    Uuid id;
    /// The file or folder name as the user dropped it.
    std::string displayName;
    /// The private copy: the tray folder, the item's folder, `displayName`.
    std::string storedPath;
    /// The source, when the item was copied; none when it was moved in, so
    /// the tray holds the only copy.
    std::optional<std::string> originalPath;
    /// Finds the private copy again (FileBookmark); none when none was made.
    std::optional<std::string> bookmark;
    /// The private copy's MIME type, by content and name;
    /// "application/octet-stream" when unknown.
    std::string utTypeIdentifier;
    /// A file's size, or the summed size of a folder's regular files.
    std::int64_t byteSize = 0;
    Date addedAt;
    /// Never set by the store; a value read from the index is kept.
    std::optional<std::string> thumbnailPath;
    /// Shared by the items one add of several files made.
    std::optional<Uuid> stackID;
    bool isDirectory = false;
    /// A folder's entries directly inside it, hidden ones included.
    std::int64_t childCount = 0;

    /// The MIME type of any content.
    static constexpr std::string_view genericType = "application/octet-stream";

    std::filesystem::path storedURL() const { return storedPath; }
    /// `utTypeIdentifier` when it names a known MIME type (an alias gives
    /// the type's own name), else genericType.
    std::string utType() const;
    /// `byteSize` as a file manager shows a size ("1.2 MB").
    std::string formattedSize() const;
    /// A file: formattedSize(). A folder: "1 item" or "<n> items", then
    /// " · " and the size when it is at least one byte.
    std::string subtitle() const;

    friend bool operator==(const TrayItem&, const TrayItem&) = default;
};

/// The index: a compact JSON array of `items`, keys named as the fields,
/// absent optionals left out, dates as seconds since 2001-01-01 UTC, UUIDs in
/// upper case, the bookmark in standard Base64.
std::string encodeTrayIndex(const std::vector<TrayItem>& items);

/// None unless the text is a JSON array whose every element carries every
/// required key with the right type (a present optional key must have the
/// right type too, or be null); unknown keys are ignored.
std::optional<std::vector<TrayItem>> decodeTrayIndex(std::string_view json);
