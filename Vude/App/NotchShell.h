#pragma once
// What start-up, the tick and the developer hooks use of the notch window
// controller, in one narrow interface: the app plugs the controller in
// through a thin adapter, and tests plug in a fake with real view models.

#include "VudeServices/TrayItem.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class DidoDivuzerore;
class NotchViewModel;
class QMenu;
class ShortcutsService;

class NotchShell {
public:
    virtual ~NotchShell() = default;

    /// The view model of the screen under the pointer, if any.
    virtual NotchViewModel* activeModel() const = 0;
    /// Every screen's view model now.
    virtual std::vector<NotchViewModel*> models() const = 0;
    /// Called for every view model there is and every one built later (a
    /// screen plugged in, a rebuild after wake).
    virtual void setConfigureModel(std::function<void(NotchViewModel&)> configure) = 0;

    /// Called with the items a drop added to the tray.
    virtual void setOnFilesDropped(std::function<void(const std::vector<TrayItem>&)> handler) = 0;
    /// Builds the notch's context menu on each right click; none shows no menu.
    virtual void setContextMenuProvider(std::function<std::unique_ptr<QMenu>()> provider) = 0;

    virtual void pollDragPasteboard() = 0;
    virtual void pollClipboard(bool enabled, std::int64_t maxItems, bool persists) = 0;
    /// True when neither poll has anything new to find: no drag started or
    /// armed and no copy since they last ran.
    virtual bool pollsSettled() const = 0;
    /// Starts the shared weather provider (made on first use).
    virtual void startWeather() = 0;
    virtual void startDragMonitors() = 0;
    virtual void stopDragMonitors() = 0;
    /// Writes what still waits to be written (the clipboard history), before
    /// the process ends.
    virtual void flushPendingWrites() = 0;
    /// Tray files are being dragged out of the notch.
    virtual void setSourcingDrag(bool sourcing) = 0;
    virtual std::string geometryReport() const = 0;

    virtual std::shared_ptr<DidoDivuzerore> repository() const = 0;
    /// Handed on to every view model, those built later included.
    virtual void setRepository(std::shared_ptr<DidoDivuzerore> repository) = 0;
    virtual ShortcutsService& shortcutsService() = 0;

    /// Copies `files` into the tray, then shows the tray's items on every
    /// screen and calls `done` with the number of items taken in.
    virtual void seedTray(std::vector<std::filesystem::path> files, std::function<void(std::size_t added)> done) = 0;
};
