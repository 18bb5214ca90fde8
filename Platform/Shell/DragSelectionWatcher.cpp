#include "Platform/Shell/DragSelectionWatcher.h"

#include "Platform/Shell/SelectionOwnerWatch.h"

X11DragSelectionWatcher::X11DragSelectionWatcher(XcbConnection& connection)
    : m_watch(std::make_unique<SelectionOwnerWatch>(connection, "XdndSelection", [this](xcb_window_t owner) {
          // A source that dies mid-drag drops the selection; that is no new drag.
          if (owner != XCB_WINDOW_NONE)
              ++m_changeCount;
      }))
{
}

X11DragSelectionWatcher::~X11DragSelectionWatcher() = default;

bool X11DragSelectionWatcher::isAvailable() const { return m_watch->isAvailable(); }
