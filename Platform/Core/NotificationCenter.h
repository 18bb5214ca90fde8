#pragma once
// In-process named notifications ("app.ruvudav.notch.openSettings") with a
// user-info map, delivered synchronously on the main thread. A post from
// another thread is delivered from the main thread's event loop instead.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <vector>

struct Notification {
    QString name;
    QVariantMap userInfo;
};

class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;

    /// The process-wide centre.
    static NotificationCenter& defaultCenter();

    /// Calls `observer` for every post of `name` while `context` lives; the
    /// returned token removes it earlier.
    std::uint64_t addObserver(const QString& name, QObject* context, Observer observer);
    void removeObserver(std::uint64_t token);

    /// Delivers to the observers registered at the time of the post, in the
    /// order they were added. An observer removed during delivery is skipped.
    void post(const QString& name, const QVariantMap& userInfo = {});

private:
    struct Entry {
        std::uint64_t token;
        QString name;
        QPointer<QObject> context;
        Observer observer;
    };
    void deliver(const Notification& notification);
    bool isRegistered(std::uint64_t token) const;

    std::vector<Entry> m_entries;
    std::uint64_t m_nextToken = 1;
};
