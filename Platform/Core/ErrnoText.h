#pragma once
// A failed call on a file, said with the reason errno holds now.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

inline std::string errnoText(const std::string& what, const std::filesystem::path& path)
{
    return what + " " + path.string() + ": " + std::strerror(errno);
}
