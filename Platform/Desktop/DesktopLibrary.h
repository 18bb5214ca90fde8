#pragma once
// What the desktop's applications and its Do Not Disturb switch need of GIO:
// reading and launching desktop entries, the installed applications by id,
// and boolean GSettings keys. GIO brings six more libraries along, so this
// code lives in the module "vude-desktop.so" (Core/LoadableModule.h), opened
// the first time one of GioApplicationCatalog, DesktopApplications or
// GSettingsFocusSource needs it, never while the app starts. Without the
// module they read as nothing installed, and the loader's reason is said
// once on standard error.

#include "VudeKit/Expected.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class DesktopLibrary {
public:
    /// What GIO reads from one desktop entry file.
    struct Entry {
        std::string name;
        /// Hidden=true: the entry stands for a deleted application.
        bool hidden = false;
        /// Menus show it (NoDisplay, OnlyShowIn and NotShowIn allow it).
        bool shown = false;
        /// The program of Exec as written, not yet looked up along PATH.
        std::string executable;
        /// Icon= naming a file: its path.
        std::filesystem::path iconFile;
        /// Icon= naming a theme icon: the names GIO tries, in order.
        std::vector<std::string> iconNames;
    };

    /// A boolean key of one settings schema, read and followed.
    class BooleanSetting {
    public:
        /// Stops following.
        virtual ~BooleanSetting() = default;
        virtual bool value() const = 0;
        /// `changed` is called on each change of the key from GLib's default
        /// main context, which Qt's event loop runs on the main thread; an
        /// empty function stops following.
        virtual void follow(std::function<void()> changed) = 0;
    };

    virtual ~DesktopLibrary() = default;

    /// The module's code, opened on the first call; or why it cannot be had,
    /// which the first call also says on standard error. Thread-safe.
    static Expected<const DesktopLibrary*, std::string> shared();

    /// The entry in `file`; none for a file that is no application entry,
    /// or whose TryExec or Exec program is not installed. Thread-safe.
    virtual std::optional<Entry> readEntry(const std::filesystem::path& file) const = 0;
    /// Starts the entry's application without files.
    virtual bool launchEntry(const std::filesystem::path& file) const = 0;
    /// `program` as PATH finds it; empty when it does not.
    virtual std::filesystem::path findProgram(const std::string& program) const = 0;

    /// Whether the desktop knows an application with this desktop id, hidden
    /// ones included. Main thread.
    virtual bool hasApplication(std::string_view desktopId) const = 0;
    /// Starts it without files; false when there is none or it failed.
    virtual bool launchApplication(std::string_view desktopId) const = 0;

    /// The setting `key` of `schema`; none unless the schema is installed
    /// with a boolean `key` (opening a schema that is not installed would
    /// abort). Main thread.
    virtual std::unique_ptr<BooleanSetting> openSetting(const char* schema, const char* key) const = 0;
    /// Whether openSetting would give one, without opening it.
    virtual bool hasSetting(const char* schema, const char* key) const = 0;
};
