#pragma once
// Do Not Disturb on GNOME: the "show-banners" key of
// "org.gnome.desktop.notifications", false while Do Not Disturb is on. Read
// through GIO (DesktopLibrary, a module opened on first use), so it follows
// whichever settings backend the session uses; changes arrive through the
// GLib main loop that Qt's event loop runs.
//
// Without the schema, or without the module, the source is not installed
// and unavailable.

#include "Platform/Desktop/DesktopLibrary.h"
#include "Platform/Desktop/FocusStateSource.h"

#include <memory>

class GSettingsFocusSource final : public FocusStateSource {
    Q_OBJECT
public:
    static constexpr const char* kSchema = "org.gnome.desktop.notifications";
    static constexpr const char* kKey = "show-banners";

    explicit GSettingsFocusSource(const char* schema = kSchema, const char* key = kKey, QObject* parent = nullptr);
    ~GSettingsFocusSource() override;

    /// Whether the schema is installed with a boolean `key`.
    static bool isInstalled(const char* schema = kSchema, const char* key = kKey);

    void start() override;
    void stop() override;
    bool isPending() const override { return false; }
    bool isAvailable() const override { return m_setting != nullptr; }
    bool isFocusOn() const override { return m_on; }

private:
    void onChanged();
    bool readOn() const;

    std::unique_ptr<DesktopLibrary::BooleanSetting> m_setting;
    bool m_following = false;
    bool m_on = false;
};
