#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread, so the
// app quits through its event loop (and runs its shutdown) instead of dying
// inside a signal handler.

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    /// Catches the signals from now on, before any event loop exists: one that
    /// arrives early waits until a watcher is made and the loop runs. Also
    /// unblocks them, since a blocked mask is inherited from whoever started
    /// the process and would keep them from ever arriving.
    static void catchSignals(std::initializer_list<int> signalNumbers);

    /// Catches the signals (if not done yet) and reports each, including those
    /// caught before it was made.
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

signals:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
