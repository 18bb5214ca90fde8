#pragma once
// The libarchive code behind ZipArchive. Only the Zip and Unzip pipelines
// use it, so it lives in the module "vude-archive.so" (LoadableModule.h),
// opened the first time one of them runs.

#include "Platform/Core/ZipArchive.h"

class ZipLibrary {
public:
    virtual ~ZipLibrary() = default;

    /// The module's code, opened on the first call; or why it cannot be had.
    /// Thread-safe.
    static Expected<const ZipLibrary*, std::string> shared();

    virtual Expected<std::filesystem::path, ZipArchive::Failure> create(
        const std::vector<std::filesystem::path>& inputs, const std::filesystem::path& destination,
        const std::function<std::filesystem::path()>& nameAgain) const = 0;
    virtual Expected<void, ZipArchive::Failure> extract(const std::filesystem::path& archive,
                                                        const std::filesystem::path& folder,
                                                        const ZipArchive::Limits& limits) const = 0;
};
