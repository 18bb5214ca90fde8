#include "Platform/Shell/FileRevealer.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QUrl>

FileManagerRevealer::FileManagerRevealer(QDBusConnection bus, UrlOpener& fallback)
    : m_bus(std::move(bus))
    , m_fallback(fallback)
{
}

FileManagerRevealer::~FileManagerRevealer() = default;

void FileManagerRevealer::reveal(const std::filesystem::path& file)
{
    const QString local = QString::fromStdString(file.string());
    const QUrl folder = QUrl::fromLocalFile(QString::fromStdString(file.parent_path().string()));
    if (!m_bus.isConnected()) {
        m_fallback.open(folder);
        return;
    }
    auto message = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("ShowItems"));
    message << QStringList{QUrl::fromLocalFile(local).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), m_calls.get());
    UrlOpener* fallback = &m_fallback;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, m_calls.get(),
                     [fallback, folder](QDBusPendingCallWatcher* call) {
                         if (call->isError())
                             fallback->open(folder);
                         call->deleteLater();
                     });
}
