#include "Platform/Desktop/XcbSelectionReader.h"

#include "Platform/Input/XcbSupport.h"

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <unordered_set>
#include <vector>

namespace {

template <typename T>
using Reply = XcbReply<T>;

// A list of types is a few dozen atoms. Only the first ones of a longer list
// are looked at: each unknown atom costs a request to the server.
constexpr std::size_t kMaxTargets = 1024;
// The longest single property read, in 32-bit units (an increment is one
// property; a whole value up to the caller's limit is fetched in one go).
constexpr std::uint32_t kMaxPropertyUnits = 0x3fffffff;

} // namespace

class XcbSelectionReader::Session final : public PasteboardReader {
public:
    Session(XcbSelectionReader& reader, Deadline deadline) : m_reader(reader), m_deadline(deadline)
    {
        xcb_connection_t* c = m_reader.m_connection;
        // A window of our own per session: answers an owner sends late, to a
        // request we gave up on, go to a window that no longer exists.
        m_window = xcb_generate_id(c);
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, m_reader.m_root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c);
    }

    ~Session() override
    {
        xcb_destroy_window(m_reader.m_connection, m_window);
        xcb_flush(m_reader.m_connection);
        m_reader.m_lastTimedOut = m_timedOut;
    }

    std::optional<std::vector<std::string>> types() override
    {
        if (m_types)
            return *m_types;
        auto bytes = convert(m_reader.m_targets, kMaxTargets * 4, /*cutAtLimit=*/true);
        if (!bytes) {
            // A time-out is not remembered as "no types": nothing more is read.
            if (bytes.error() != PasteboardDataError::timedOut)
                m_types.emplace(std::nullopt);
            return std::nullopt;
        }
        // TARGETS is a list of 32-bit atoms, which the library hands over in
        // our own byte order.
        std::vector<xcb_atom_t> atoms(bytes->size() / 4);
        std::memcpy(atoms.data(), bytes->data(), atoms.size() * 4);
        atoms.erase(std::remove(atoms.begin(), atoms.end(), xcb_atom_t(XCB_NONE)), atoms.end());
        if (atoms.size() > kMaxTargets)
            atoms.resize(kMaxTargets);
        const auto unknown = m_reader.learnNames(atoms, m_deadline);
        if (!unknown) {
            m_timedOut = true;
            return std::nullopt;
        }
        std::vector<std::string> names;
        for (const xcb_atom_t atom : atoms) {
            // Atoms the server does not know are asked about once.
            if (unknown->contains(atom))
                continue;
            std::string name = m_reader.atomName(atom);
            if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
        m_types.emplace(std::move(names));
        return *m_types;
    }

    Expected<std::string, PasteboardDataError> data(const std::string& type, std::size_t maxBytes) override
    {
        if (type.empty())
            return unexpected(PasteboardDataError::missing);
        return convert(m_reader.atom(type), maxBytes);
    }

private:
    using Wanted = std::function<bool(const xcb_generic_event_t&)>;

    // Asks the owner for `target` in our window's property and reads it. A
    // value longer than `maxBytes` is refused, or with `cutAtLimit` cut there
    // (unless it comes in increments).
    Expected<std::string, PasteboardDataError> convert(xcb_atom_t target, std::size_t maxBytes,
                                                       bool cutAtLimit = false)
    {
        if (m_timedOut)
            return unexpected(PasteboardDataError::timedOut);
        if (target == XCB_NONE || m_lost)
            return unexpected(PasteboardDataError::missing);
        xcb_connection_t* c = m_reader.m_connection;
        const xcb_atom_t property = m_reader.m_property;
        xcb_delete_property(c, m_window, property);
        xcb_convert_selection(c, m_window, m_reader.m_selection, target, property, XCB_CURRENT_TIME);
        xcb_flush(c);

        const auto notifyEvent = waitFor([&](const xcb_generic_event_t& event) {
            if ((event.response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
            return notify.requestor == m_window && notify.selection == m_reader.m_selection &&
                   notify.target == target;
        });
        if (!notifyEvent)
            return failure();
        const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(*notifyEvent);
        // No owner, or one that cannot give this type.
        if (notify.property == XCB_NONE)
            return unexpected(PasteboardDataError::missing);

        Reply<xcb_get_property_reply_t> head(xcb_get_property_reply(
            c, xcb_get_property(c, 0, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
        if (!head)
            return unexpected(PasteboardDataError::missing);
        if (head->type == m_reader.m_incr)
            return readIncrements(maxBytes);
        if (head->bytes_after > maxBytes && !cutAtLimit) {
            xcb_delete_property(c, m_window, property);
            xcb_flush(c);
            return unexpected(PasteboardDataError::tooLarge);
        }
        const std::uint32_t units =
            static_cast<std::uint32_t>((std::min<std::size_t>(head->bytes_after, maxBytes) + 3) / 4);
        Reply<xcb_get_property_reply_t> value(xcb_get_property_reply(
            c, xcb_get_property(c, 1, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, units), nullptr));
        if (!value)
            return unexpected(PasteboardDataError::missing);
        return bytesOf(*value);
    }

    // The owner sends large contents in pieces: each time we delete the
    // property it writes the next one, and an empty piece ends the transfer.
    Expected<std::string, PasteboardDataError> readIncrements(std::size_t maxBytes)
    {
        xcb_connection_t* c = m_reader.m_connection;
        const xcb_atom_t property = m_reader.m_property;
        xcb_delete_property(c, m_window, property);
        xcb_flush(c);
        std::string result;
        for (;;) {
            const auto event = waitFor([&](const xcb_generic_event_t& e) {
                if ((e.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(e);
                return notify.window == m_window && notify.atom == property &&
                       notify.state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!event)
                return failure();
            // Deleting while reading asks for the next piece.
            Reply<xcb_get_property_reply_t> piece(xcb_get_property_reply(
                c, xcb_get_property(c, 1, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxPropertyUnits),
                nullptr));
            if (!piece)
                return unexpected(PasteboardDataError::missing);
            const auto length = static_cast<std::size_t>(xcb_get_property_value_length(piece.get()));
            if (length == 0)
                return result;
            if (result.size() + length > maxBytes) {
                // Stop answering; the owner gives up on its own. The window
                // goes with the session, so its later pieces land nowhere.
                m_lost = true;
                return unexpected(PasteboardDataError::tooLarge);
            }
            result += bytesOf(*piece);
        }
    }

    static std::string bytesOf(xcb_get_property_reply_t& reply)
    {
        const auto length = static_cast<std::size_t>(xcb_get_property_value_length(&reply));
        return std::string(static_cast<const char*>(xcb_get_property_value(&reply)), length);
    }

    Unexpected<PasteboardDataError> failure() const
    {
        return unexpected(m_timedOut ? PasteboardDataError::timedOut : PasteboardDataError::missing);
    }

    // Reads events until one is wanted, the deadline passes or the
    // connection breaks; events nobody wants are dropped.
    Reply<xcb_generic_event_t> waitFor(const Wanted& wanted)
    {
        xcb_connection_t* c = m_reader.m_connection;
        for (;;) {
            while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
                Reply<xcb_generic_event_t> event(raw);
                if (wanted(*event))
                    return event;
            }
            if (xcb_connection_has_error(c)) {
                m_lost = true;
                return nullptr;
            }
            const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(m_deadline - Deadline::clock::now());
            if (remaining.count() <= 0) {
                m_timedOut = true;
                return nullptr;
            }
            pollfd descriptor{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&descriptor, 1, static_cast<int>(std::min<std::int64_t>(remaining.count(), 1000)));
        }
    }

    XcbSelectionReader& m_reader;
    const Deadline m_deadline;
    xcb_window_t m_window = 0;
    bool m_timedOut = false;
    bool m_lost = false;
    std::optional<std::optional<std::vector<std::string>>> m_types;
};

std::unique_ptr<XcbSelectionReader> XcbSelectionReader::open(const std::string& displayName,
                                                             const std::string& selection)
{
    int screenNumber = 0;
    std::string name;
    xcb_connection_t* connection = connectToDisplay(displayName, screenNumber, name);
    if (!connection)
        return nullptr;
    const xcb_window_t root = rootWindowOf(connection, screenNumber);
    if (root == XCB_WINDOW_NONE) {
        xcb_disconnect(connection);
        return nullptr;
    }
    std::unique_ptr<XcbSelectionReader> reader(new XcbSelectionReader(connection, root));
    reader->m_selection = reader->atom(selection);
    reader->m_targets = reader->atom("TARGETS");
    reader->m_incr = reader->atom("INCR");
    reader->m_property = reader->atom("VUDE_SELECTION");
    if (reader->isBroken() || !reader->m_selection || !reader->m_targets || !reader->m_property)
        return nullptr;
    return reader;
}

XcbSelectionReader::XcbSelectionReader(xcb_connection_t* connection, xcb_window_t root)
    : m_connection(connection), m_root(root)
{
}

XcbSelectionReader::~XcbSelectionReader()
{
    xcb_disconnect(m_connection);
}

std::unique_ptr<PasteboardReader> XcbSelectionReader::session(Deadline deadline)
{
    m_lastTimedOut = false;
    return std::make_unique<Session>(*this, deadline);
}

bool XcbSelectionReader::isBroken() const
{
    return xcb_connection_has_error(m_connection) != 0;
}

xcb_atom_t XcbSelectionReader::atom(const std::string& name)
{
    if (const auto found = m_atoms.find(name); found != m_atoms.end())
        return found->second;
    const xcb_atom_t atom = internAtom(m_connection, name);
    if (atom == XCB_ATOM_NONE)
        return XCB_NONE;
    m_atoms.emplace(name, atom);
    m_names.emplace(atom, name);
    return atom;
}

std::optional<std::unordered_set<xcb_atom_t>> XcbSelectionReader::learnNames(const std::vector<xcb_atom_t>& atoms,
                                                                            Deadline deadline)
{
    // One round trip for all the names we have not seen, not one each.
    std::vector<std::pair<xcb_atom_t, xcb_get_atom_name_cookie_t>> requests;
    std::unordered_set<xcb_atom_t> asked;
    for (const xcb_atom_t atom : atoms)
        if (!m_names.contains(atom) && asked.insert(atom).second)
            requests.emplace_back(atom, xcb_get_atom_name(m_connection, atom));
    std::unordered_set<xcb_atom_t> unknown;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (Deadline::clock::now() >= deadline) {
            // The replies still to come are dropped as they arrive.
            for (std::size_t k = i; k < requests.size(); ++k)
                xcb_discard_reply(m_connection, requests[k].second.sequence);
            return std::nullopt;
        }
        const auto& [atom, cookie] = requests[i];
        xcb_generic_error_t* error = nullptr;
        Reply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(m_connection, cookie, &error));
        std::free(error);
        if (!reply) {
            unknown.insert(atom);
            continue;
        }
        std::string name(xcb_get_atom_name_name(reply.get()),
                         static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
        m_names.emplace(atom, name);
        m_atoms.emplace(std::move(name), atom);
    }
    return unknown;
}

std::string XcbSelectionReader::atomName(xcb_atom_t atom)
{
    if (const auto found = m_names.find(atom); found != m_names.end())
        return found->second;
    Reply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr));
    if (!reply)
        return {};
    std::string name(xcb_get_atom_name_name(reply.get()),
                     static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
    m_names.emplace(atom, name);
    m_atoms.emplace(name, atom);
    return name;
}
