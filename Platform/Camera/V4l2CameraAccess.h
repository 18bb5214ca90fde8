#pragma once
// Whether this process may use a camera. Linux asks nobody for consent: the
// permissions of the video device files decide (membership of the "video"
// group, or the access list the seat gives the logged-in user). So the
// answer is found by opening each <dev>/video<N> and asking it what it is:
//   a video capture device opens           authorized
//   no capture device opens, one refuses   denied
//   no capture device at all               notDetermined
// A node that refuses us cannot say what it is; since the video nodes share
// one owner and mode, a refusal stands for the capture devices too.
//
// Every read looks again; nothing is cached. Opening a device may wake a
// USB camera, so a request looks on its own thread and answers there.

#include "Platform/Core/SerialQueue.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

/// The system's camera authorization, with the raw values the permission
/// tables are written in.
enum class CameraAuthorizationStatus : long { notDetermined = 0, restricted = 1, denied = 2, authorized = 3 };

/// What opening one device node found.
enum class CameraNodeAccess {
    /// It opened and captures video.
    capture,
    /// It opened but is something else (metadata, a codec, not a device).
    other,
    /// It refused us (EACCES, EPERM).
    refused,
    /// It could not be opened for another reason (gone, busy, broken).
    unavailable,
};

class V4l2CameraAccess {
public:
    using Inspector = std::function<CameraNodeAccess(const std::filesystem::path&)>;

    /// Looks under `deviceRoot` ("/dev" on a running system) and asks each
    /// node through `inspect`, which runs on the caller's thread for
    /// authorizationStatus() and on the request thread for requestAccess().
    explicit V4l2CameraAccess(std::filesystem::path deviceRoot = "/dev", Inspector inspect = inspectNode);
    /// Waits for a request under way.
    ~V4l2CameraAccess();

    V4l2CameraAccess(const V4l2CameraAccess&) = delete;
    V4l2CameraAccess& operator=(const V4l2CameraAccess&) = delete;

    /// Opens every video node now.
    CameraAuthorizationStatus authorizationStatus() const;
    /// Looks again, on the request thread, and calls `completion` there with
    /// whether a capture device opened. There is no prompt to show.
    void requestAccess(std::function<void(bool)> completion);

    /// The nodes named video<N> under the root, by number; empty when the
    /// root cannot be read.
    std::vector<std::filesystem::path> deviceNodes() const;

    /// The status a look at the nodes gives.
    static CameraAuthorizationStatus status(std::span<const CameraNodeAccess> nodes);
    /// Opens `node` for reading and writing, as a capture would, and asks a
    /// character device for its V4L2 capabilities.
    static CameraNodeAccess inspectNode(const std::filesystem::path& node);

private:
    const std::filesystem::path m_root;
    const Inspector m_inspect;
    // Last, so that it finishes its work before the rest goes.
    std::unique_ptr<SerialQueue> m_queue;
};
