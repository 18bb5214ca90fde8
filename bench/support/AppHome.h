#pragma once
// The home of a user who finished the walkthrough, for benchmarks that start
// the real app: nothing shows over the screen, and the app reads and writes
// only there.

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace benchsupport {

/// Lays out `home` (settings folder, private runtime folder, the finished
/// walkthrough in the user defaults); false when it cannot be written.
inline bool writeFinishedHome(const QTemporaryDir& home)
{
    QDir(home.path()).mkpath(".config/Vude");
    QDir(home.path()).mkpath("run");
    QFile::setPermissions(home.filePath("run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile defaults(home.filePath(".config/Vude/defaults.json"));
    return defaults.open(QIODevice::WriteOnly) && defaults.write(R"({"hasCompletedOnboarding": true})") > 0;
}

/// `environment` (a private bus's) made to start the app on the X `display`
/// in `home`, with none of the caller's display, sound server, developer
/// hooks or Bluetooth stack.
inline QProcessEnvironment appEnvironment(QProcessEnvironment environment, const QString& display,
                                          const QTemporaryDir& home)
{
    for (const char* name : {"WAYLAND_DISPLAY", "XAUTHORITY", "PULSE_SERVER", "VUDE_TRACE", "VUDE_DEMO", "VUDE_OPEN",
                             "VUDE_SETTINGS", "VUDE_ONBOARDING"})
        environment.remove(name);
    environment.insert("DISPLAY", display);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    environment.insert("XDG_DATA_HOME", home.filePath(".local/share"));
    environment.insert("XDG_CACHE_HOME", home.filePath(".cache"));
    environment.insert("XDG_RUNTIME_DIR", home.filePath("run"));
    environment.insert("TMPDIR", home.path());
    environment.insert("VUDE_NO_BT", "1");
    return environment;
}

} // namespace benchsupport
