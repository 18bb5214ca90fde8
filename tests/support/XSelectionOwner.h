#pragma once
// Another program holding the X clipboard, as a test arranges it: it offers
// typed items (several at once, which xclip cannot) and answers requests on
// a connection and thread of its own, or, told so, never answers at all.
// Items are sent whole, so keep them small. A broken or hostile owner can
// also list, after its items, atoms the server has never heard of.
// Header-only; links xcb.

#include <xcb/xcb.h>

#include <poll.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class XSelectionOwner {
public:
    struct Item {
        std::string type;
        std::string data;
    };

    XSelectionOwner(const std::string& display, std::vector<Item> items, bool answers = true,
                    std::size_t unknownTargets = 0)
        : m_items(std::move(items)), m_answers(answers)
    {
        m_connection = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        m_clipboard = atom("CLIPBOARD");
        m_targets = atom("TARGETS");
        for (const auto& item : m_items)
            m_itemAtoms.push_back(atom(item.type));
        // Atoms are 29-bit numbers handed out from 1 upwards; these are far
        // beyond any a server reaches.
        for (std::size_t i = 0; i < unknownTargets; ++i)
            m_unknownAtoms.push_back(static_cast<xcb_atom_t>(0x1ff00000u - i));
        xcb_set_selection_owner(m_connection, m_window, m_clipboard, XCB_CURRENT_TIME);
        std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
            xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr),
            &std::free);
        m_isOwner = owner && owner->owner == m_window;
        m_thread = std::thread([this] { serve(); });
    }

    ~XSelectionOwner()
    {
        m_stopping = true;
        if (m_thread.joinable())
            m_thread.join();
        xcb_disconnect(m_connection);
    }

    XSelectionOwner(const XSelectionOwner&) = delete;
    XSelectionOwner& operator=(const XSelectionOwner&) = delete;

    bool isOwner() const { return m_isOwner; }
    /// How many requests arrived, answered or not.
    int requestCount() const { return m_requests; }

private:
    xcb_atom_t atom(const std::string& name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(m_connection,
                                  xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(name.size()), name.data()),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : XCB_NONE;
    }

    void serve()
    {
        while (!m_stopping) {
            pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&descriptor, 1, 20);
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
                    ++m_requests;
                    if (m_answers)
                        answer(*reinterpret_cast<xcb_selection_request_event_t*>(event));
                }
                std::free(event);
            }
            if (xcb_connection_has_error(m_connection))
                return;
        }
    }

    void answer(const xcb_selection_request_event_t& request)
    {
        xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
        if (request.target == m_targets) {
            std::vector<xcb_atom_t> atoms{m_targets};
            atoms.insert(atoms.end(), m_itemAtoms.begin(), m_itemAtoms.end());
            atoms.insert(atoms.end(), m_unknownAtoms.begin(), m_unknownAtoms.end());
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
                                static_cast<uint32_t>(atoms.size()), atoms.data());
        } else {
            bool found = false;
            for (std::size_t i = 0; i < m_items.size(); ++i) {
                if (m_itemAtoms[i] != request.target)
                    continue;
                xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                    request.target, 8, static_cast<uint32_t>(m_items[i].data.size()),
                                    m_items[i].data.data());
                found = true;
                break;
            }
            if (!found)
                property = XCB_NONE;
        }
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = property;
        xcb_send_event(m_connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
        xcb_flush(m_connection);
    }

    std::vector<Item> m_items;
    bool m_answers;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_window = 0;
    xcb_atom_t m_clipboard = XCB_NONE;
    xcb_atom_t m_targets = XCB_NONE;
    std::vector<xcb_atom_t> m_itemAtoms;
    std::vector<xcb_atom_t> m_unknownAtoms;
    bool m_isOwner = false;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

} // namespace testsupport
