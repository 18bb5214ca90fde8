#include "Platform/Core/MachineModel.h"

#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>

std::string machineModel(const std::filesystem::path& sysRoot)
{
    const std::filesystem::path path = sysRoot / "class" / "dmi" / "id" / "product_name";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    // DMI strings are short; anything past this is not a model name.
    std::array<char, 256> buffer{};
    ssize_t count = -1;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        do {
            count = ::read(fd, buffer.data(), buffer.size());
        } while (count < 0 && errno == EINTR);
    }
    ::close(fd);
    if (count <= 0)
        return {};
    std::string_view text(buffer.data(), std::size_t(count));
    text = text.substr(0, text.find('\0'));
    const QString decoded = QString::fromUtf8(text.data(), qsizetype(text.size())).trimmed();
    return decoded.toStdString();
}
