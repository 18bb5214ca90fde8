#pragma once
// The running app: the system's own backends (the X connection, the shell's
// platform, timers, clocks, the pasteboard, the desktop's reduce-motion
// setting, the permissions) and the application delegate built over them.
// Made once by main() after the QApplication; quits through the event loop,
// so the delegate's shutdown runs.

#include <QObject>

#include <memory>

class AppDelegate;

class Application final : public QObject {
    Q_OBJECT
public:
    explicit Application(QObject* parent = nullptr);
    ~Application() override;

    /// Runs the start-up; the app's shutdown runs when the loop is about to
    /// quit.
    void launch();

    AppDelegate& delegate() const;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};
