#pragma once
// Reads an X selection (the clipboard) through an X connection of its own,
// so that waiting on an owner that is slow, or never answers, blocks only the
// thread that reads, never the one Qt paints on. Every wait ends at the
// deadline the caller gives; large contents arrive in increments and are cut
// off, not buffered, once they pass the caller's limit.
//
// Used by one thread at a time (the pasteboard's worker).

#include "Platform/Desktop/Pasteboard.h"

#include <xcb/xcb.h>

#include <chrono>
#include <memory>
#include <string>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class XcbSelectionReader final {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    /// Connects to `displayName` (":1", $DISPLAY when empty); none when no X
    /// server answers.
    static std::unique_ptr<XcbSelectionReader> open(const std::string& displayName,
                                                    const std::string& selection = "CLIPBOARD");
    ~XcbSelectionReader();

    XcbSelectionReader(const XcbSelectionReader&) = delete;
    XcbSelectionReader& operator=(const XcbSelectionReader&) = delete;

    /// A reader of the selection as it is now, whose requests give up at
    /// `deadline`. One session at a time.
    std::unique_ptr<PasteboardReader> session(Deadline deadline);

    /// Whether a request of the last session gave up at its deadline.
    bool lastSessionTimedOut() const { return m_lastTimedOut; }
    /// Whether the server closed the connection; open a new reader then.
    bool isBroken() const;

private:
    class Session;
    XcbSelectionReader(xcb_connection_t* connection, xcb_window_t root);

    xcb_atom_t atom(const std::string& name);
    std::string atomName(xcb_atom_t atom);
    // Learns the names of `atoms` not known yet; returns those the server
    // does not know, or none when `deadline` passed first.
    std::optional<std::unordered_set<xcb_atom_t>> learnNames(const std::vector<xcb_atom_t>& atoms,
                                                             Deadline deadline);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_selection = 0;
    xcb_atom_t m_targets = 0;
    xcb_atom_t m_incr = 0;
    xcb_atom_t m_property = 0;
    bool m_lastTimedOut = false;
    std::unordered_map<std::string, xcb_atom_t> m_atoms;
    std::unordered_map<xcb_atom_t, std::string> m_names;
};
