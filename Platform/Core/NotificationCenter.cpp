#include "Platform/Core/NotificationCenter.h"

#include "Platform/Core/MainThread.h"

#include <algorithm>

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

std::uint64_t NotificationCenter::addObserver(const QString& name, QObject* context, Observer observer)
{
    const auto token = m_nextToken++;
    m_entries.push_back({token, name, context, std::move(observer)});
    return token;
}

void NotificationCenter::removeObserver(std::uint64_t token)
{
    std::erase_if(m_entries, [token](const Entry& entry) { return entry.token == token; });
}

void NotificationCenter::post(const QString& name, const QVariantMap& userInfo)
{
    Notification notification{name, userInfo};
    if (!isMainThread()) {
        postToMainThread([this, notification] { deliver(notification); });
        return;
    }
    deliver(notification);
}

void NotificationCenter::deliver(const Notification& notification)
{
    std::erase_if(m_entries, [](const Entry& entry) { return entry.context.isNull(); });
    std::vector<std::pair<std::uint64_t, Observer>> targets;
    for (const auto& entry : m_entries)
        if (entry.name == notification.name)
            targets.emplace_back(entry.token, entry.observer);
    for (const auto& [token, observer] : targets)
        if (isRegistered(token))
            observer(notification);
}

bool NotificationCenter::isRegistered(std::uint64_t token) const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [token](const Entry& entry) {
        return entry.token == token && !entry.context.isNull();
    });
}
