#pragma once
// Byte counts as a file manager shows a file's size: decimal units of 1000,
// "Zero KB" for nothing, whole bytes below 1 KB, whole kilobytes, megabytes
// with one decimal and larger units with two, trailing zeros dropped, and
// always a point whatever the user's locale.

#include <cstdint>
#include <string>

/// 0 → "Zero KB", 1 → "1 byte", 999 → "999 bytes", 1000 → "1 KB",
/// 1234567 → "1.2 MB", 1230000000 → "1.23 GB"; then TB, PB and EB. Rounds
/// half up; a value that rounds to 1000 of a unit is shown in the next one
/// ("1 MB", never "1000 KB"). A negative count is its size with a minus.
std::string formatFileByteCount(std::int64_t byteCount);
