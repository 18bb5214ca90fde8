#include "Platform/Core/ZipArchive.h"

#include "Platform/Core/ZipLibrary.h"

namespace fs = std::filesystem;

namespace ZipArchive {

Expected<fs::path, Failure> create(const std::vector<fs::path>& inputs, const fs::path& destination,
                                   const std::function<fs::path()>& nameAgain)
{
    const auto library = ZipLibrary::shared();
    if (!library)
        return unexpected(Failure{Failure::Kind::unavailable, {}, library.error()});
    return (*library)->create(inputs, destination, nameAgain);
}

Expected<void, Failure> extract(const fs::path& archive, const fs::path& folder, const Limits& limits)
{
    const auto library = ZipLibrary::shared();
    if (!library)
        return unexpected(Failure{Failure::Kind::unavailable, {}, library.error()});
    return (*library)->extract(archive, folder, limits);
}

} // namespace ZipArchive
