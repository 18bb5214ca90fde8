#pragma once
// Unicode rules for UTF-8 texts where bytes or code points would mislead:
// how many characters a reader sees, and one canonical form to compare by.

#include <cstddef>
#include <string>
#include <string_view>

/// The user-perceived characters (extended grapheme clusters) of a UTF-8
/// text: "É" written as E and a combining accent is one, and so is a flag.
std::size_t graphemeCount(std::string_view text);

/// The first `count` user-perceived characters of a UTF-8 text (all of it
/// when it has no more), never cutting a character apart.
std::string_view graphemePrefix(std::string_view text, std::size_t count);

/// The text in Unicode normalization form C, so that canonically equivalent
/// texts (a precomposed letter, or the letter and a combining accent) are
/// equal byte for byte. Invalid UTF-8 comes back unchanged.
std::string nfcNormalized(std::string_view text);
