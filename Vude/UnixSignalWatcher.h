#pragma once
// Turns SIGTERM and SIGINT into a Qt signal on the main thread, so the app
// quits through its event loop (and runs its shutdown) instead of dying
// inside a signal handler.

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

signals:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
