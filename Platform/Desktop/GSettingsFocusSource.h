#pragma once
// Do Not Disturb on GNOME: the "show-banners" key of
// "org.gnome.desktop.notifications", false while Do Not Disturb is on. Read
// through GIO, so it follows whichever settings backend the session uses;
// changes arrive through the GLib main loop that Qt's event loop runs.
//
// The schema is looked up before it is opened (opening a schema that is not
// installed aborts the process); without it the source is unavailable.

#include "Platform/Desktop/FocusStateSource.h"

struct _GSettings;

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
    bool isAvailable() const override { return m_settings != nullptr; }
    bool isFocusOn() const override { return m_on; }

private:
    static void onChanged(_GSettings* settings, const char* key, void* self);
    bool readOn() const;

    _GSettings* m_settings = nullptr;
    std::string m_key;
    unsigned long m_handler = 0;
    bool m_on = false;
};
