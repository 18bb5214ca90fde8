#pragma once
// Zip archives built entry by entry for tests, hostile ones included: names
// are written exactly as given ("../x", "/abs"), links point wherever they
// are told, and a bomb's declared sizes can be made to lie.

#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fixtures::zip {

struct Entry {
    enum class Type { file, folder, link };
    std::string path;
    Type type = Type::file;
    /// A file's content, or a link's target.
    std::string data;
    /// Zero bytes written after `data`, for files that expand a lot.
    std::uint64_t zeros = 0;
    unsigned perm = 0644;

    static Entry file(std::string path, std::string data) { return {std::move(path), Type::file, std::move(data)}; }
    static Entry folder(std::string path) { return {std::move(path), Type::folder, {}, 0, 0755}; }
    static Entry link(std::string path, std::string target) { return {std::move(path), Type::link, std::move(target), 0, 0777}; }
    static Entry zeroes(std::string path, std::uint64_t count) { return {std::move(path), Type::file, {}, count}; }
};

/// Writes `entries` in order as the zip archive `path`; false on any failure.
inline bool write(const std::filesystem::path& path, const std::vector<Entry>& entries)
{
    archive* a = archive_write_new();
    bool ok = archive_write_set_format_zip(a) == ARCHIVE_OK
              && archive_write_set_options(a, "zip:compression-level=9") == ARCHIVE_OK
              && archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
    const std::string chunk(1 << 20, '\0');
    for (const Entry& item : entries) {
        if (!ok)
            break;
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, item.path.c_str());
        archive_entry_set_perm(entry, item.perm);
        archive_entry_set_mtime(entry, 1700000000, 0);
        switch (item.type) {
        case Entry::Type::file:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, static_cast<la_int64_t>(item.data.size() + item.zeros));
            break;
        case Entry::Type::folder:
            archive_entry_set_filetype(entry, AE_IFDIR);
            break;
        case Entry::Type::link:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink_utf8(entry, item.data.c_str());
            break;
        }
        ok = archive_write_header(a, entry) == ARCHIVE_OK;
        if (ok && item.type == Entry::Type::file) {
            if (!item.data.empty())
                ok = archive_write_data(a, item.data.data(), item.data.size()) == la_ssize_t(item.data.size());
            for (std::uint64_t left = item.zeros; ok && left > 0;) {
                const std::size_t now = left < chunk.size() ? std::size_t(left) : chunk.size();
                ok = archive_write_data(a, chunk.data(), now) == la_ssize_t(now);
                left -= now;
            }
        }
        archive_entry_free(entry);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}

inline std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Rewrites the uncompressed size in every central directory record and data
/// descriptor of the archive at `path` to `size`, so its entries claim to be
/// small while they still expand as far as their data goes.
inline void declareUncompressedSize(const std::filesystem::path& path, std::uint32_t size)
{
    std::string bytes = readAll(path);
    const auto put = [&bytes, size](std::size_t at) {
        for (int i = 0; i < 4; ++i)
            bytes[at + std::size_t(i)] = char((size >> (8 * i)) & 0xFF);
    };
    for (std::size_t at = bytes.find("PK\x01\x02"); at != std::string::npos; at = bytes.find("PK\x01\x02", at + 4))
        put(at + 24);
    for (std::size_t at = bytes.find("PK\x07\x08"); at != std::string::npos; at = bytes.find("PK\x07\x08", at + 4))
        put(at + 12);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

} // namespace fixtures::zip
