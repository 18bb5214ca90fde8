#pragma once
// The XInput events selected on the root window, shared by every backend on
// one connection. The server keeps one mask per client, window and device,
// so a backend that selected its own would replace another's: each backend
// states its bits here and the union is sent as one selection for the master
// devices.

#include <QObject>

#include <cstdint>
#include <map>

class XcbConnection;

class XInputRootSelection final : public QObject {
    Q_OBJECT
public:
    /// The one selection of `connection`, made on first use and owned by it.
    static XInputRootSelection& of(XcbConnection& connection);

    /// Replaces what `owner` wants (XI event bits, `1u << XCB_INPUT_RAW_MOTION`
    /// ...); 0 withdraws it. Sends the new union when it changed.
    void setMask(const void* owner, std::uint32_t mask);

    std::uint32_t selectedMask() const { return m_sent; }

private:
    explicit XInputRootSelection(XcbConnection& connection);

    XcbConnection& m_connection;
    std::map<const void*, std::uint32_t> m_masks;
    std::uint32_t m_sent = 0;
};
