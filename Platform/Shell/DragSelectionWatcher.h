#pragma once
// A counter that moves whenever a drag-and-drop starts anywhere on the
// desktop, for noticing drags that began outside our windows.
//   X11DragSelectionWatcher   each new owner of the "XdndSelection" selection
//                             (every drag source takes it when a drag starts)
//   FakeDragSelectionWatcher  moved by hand (tests)

#include <memory>

class SelectionOwnerWatch;
class XcbConnection;

class DragSelectionWatcher {
public:
    virtual ~DragSelectionWatcher() = default;

    virtual bool isAvailable() const = 0;
    /// Grows by one for every drag started since this watcher was made.
    virtual long changeCount() const = 0;
};

class X11DragSelectionWatcher final : public DragSelectionWatcher {
public:
    /// Counts only while the event loop runs. The connection must outlive this
    /// object.
    explicit X11DragSelectionWatcher(XcbConnection& connection);
    ~X11DragSelectionWatcher() override;

    bool isAvailable() const override;
    long changeCount() const override { return m_changeCount; }

private:
    std::unique_ptr<SelectionOwnerWatch> m_watch;
    long m_changeCount = 0;
};

class FakeDragSelectionWatcher final : public DragSelectionWatcher {
public:
    bool isAvailable() const override { return available; }
    long changeCount() const override { return count; }

    /// A drag started.
    void startDrag() { ++count; }

    bool available = true;
    long count = 0;
};
