#include "Platform/Camera/V4l2CameraAccess.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The number of a node named video<N>; none for any other name.
std::optional<unsigned> videoNodeNumber(std::string_view name)
{
    constexpr std::string_view prefix = "video";
    if (!name.starts_with(prefix) || name.size() == prefix.size())
        return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    unsigned number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

int queryCapabilities(int descriptor, v4l2_capability& capability)
{
    int result = 0;
    do
        result = ::ioctl(descriptor, VIDIOC_QUERYCAP, &capability);
    while (result != 0 && errno == EINTR);
    return result;
}

} // namespace

V4l2CameraAccess::V4l2CameraAccess(std::filesystem::path deviceRoot, Inspector inspect)
    : m_root(std::move(deviceRoot)), m_inspect(std::move(inspect))
{
}

V4l2CameraAccess::~V4l2CameraAccess() = default;

std::vector<std::filesystem::path> V4l2CameraAccess::deviceNodes() const
{
    std::vector<std::pair<unsigned, std::filesystem::path>> numbered;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_root, error), end; !error && it != end; it.increment(error)) {
        if (const auto number = videoNodeNumber(it->path().filename().native()))
            numbered.emplace_back(*number, it->path());
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::filesystem::path> nodes;
    nodes.reserve(numbered.size());
    for (auto& [number, path] : numbered)
        nodes.push_back(std::move(path));
    return nodes;
}

CameraAuthorizationStatus V4l2CameraAccess::authorizationStatus() const
{
    std::vector<CameraNodeAccess> found;
    for (const auto& node : deviceNodes()) {
        found.push_back(m_inspect(node));
        // One camera that opens settles it; no need to wake the others.
        if (found.back() == CameraNodeAccess::capture)
            break;
    }
    return status(found);
}

void V4l2CameraAccess::requestAccess(std::function<void(bool)> completion)
{
    if (!m_queue)
        m_queue = std::make_unique<SerialQueue>("app.ruvudav.notch.camera-access");
    m_queue->async([this, completion = std::move(completion)] {
        completion(authorizationStatus() == CameraAuthorizationStatus::authorized);
    });
}

CameraAuthorizationStatus V4l2CameraAccess::status(std::span<const CameraNodeAccess> nodes)
{
    if (std::ranges::find(nodes, CameraNodeAccess::capture) != nodes.end())
        return CameraAuthorizationStatus::authorized;
    if (std::ranges::find(nodes, CameraNodeAccess::refused) != nodes.end())
        return CameraAuthorizationStatus::denied;
    return CameraAuthorizationStatus::notDetermined;
}

CameraNodeAccess V4l2CameraAccess::inspectNode(const std::filesystem::path& node)
{
    // Non-blocking, so that a device busy elsewhere cannot hold us up.
    const int descriptor = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return errno == EACCES || errno == EPERM ? CameraNodeAccess::refused : CameraNodeAccess::unavailable;

    CameraNodeAccess result = CameraNodeAccess::other;
    struct stat info {};
    v4l2_capability capability{};
    if (::fstat(descriptor, &info) == 0 && S_ISCHR(info.st_mode) && queryCapabilities(descriptor, capability) == 0) {
        // A node of a multi-function device says what it does itself in device_caps.
        const std::uint32_t capabilities = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0
                                               ? capability.device_caps
                                               : capability.capabilities;
        if ((capabilities & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0)
            result = CameraNodeAccess::capture;
    }
    ::close(descriptor);
    return result;
}
