#include "FakeMprisPlayer.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <gtest/gtest.h>

namespace fakempris {

namespace {

class FakeRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
public:
    FakeRoot(QObject* parent, QString entry) : QDBusAbstractAdaptor(parent), m_entry(std::move(entry)) {}
    QString identity() const { return "Fake Player"; }
    QString desktopEntry() const { return m_entry; }

private:
    QString m_entry;
};

class FakePlayerInterface : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanSeek READ yes)
    Q_PROPERTY(bool CanControl READ yes)
public:
    FakePlayerInterface(QObject* parent, PlayerState& state) : QDBusAbstractAdaptor(parent), m_state(state) {}

    QString playbackStatus() const { return read(&PlayerState::status); }
    QVariantMap metadata() const { return read(&PlayerState::metadata); }
    double rate() const { return read(&PlayerState::rate); }
    bool shuffle() const { return read(&PlayerState::shuffle); }
    QString loopStatus() const { return read(&PlayerState::loopStatus); }
    qlonglong position() const { return read(&PlayerState::position); }
    bool yes() const { return true; }
    void setRate(double value) { m_state.record("Rate " + QString::number(value)); }
    void setShuffle(bool value) { m_state.record(QString("Shuffle ") + (value ? "true" : "false")); }
    void setLoopStatus(const QString& value) { m_state.record("LoopStatus " + value); }

public slots:
    void Play() { m_state.record("Play"); }
    void Pause() { m_state.record("Pause"); }
    void PlayPause() { m_state.record("PlayPause"); }
    void Next() { m_state.record("Next"); }
    void Previous() { m_state.record("Previous"); }
    void Seek(qlonglong offset) { m_state.record("Seek " + QString::number(offset)); }
    void SetPosition(const QDBusObjectPath& track, qlonglong position)
    {
        m_state.record("SetPosition " + track.path() + " " + QString::number(position));
    }

private:
    template <typename T>
    T read(T PlayerState::*field) const
    {
        std::scoped_lock lock(m_state.mutex);
        return m_state.*field;
    }
    PlayerState& m_state;
};

} // namespace

FakePlayer::FakePlayer(const QString& address, const QString& name, QVariantMap metadata, QString status)
    : m_name(name), m_connectionName("fake-" + name)
{
    m_state.metadata = std::move(metadata);
    m_state.status = std::move(status);
    m_root = new QObject;
    new FakeRoot(m_root, name);
    new FakePlayerInterface(m_root, m_state);
    m_thread.start();
    m_root->moveToThread(&m_thread);
    m_connection = QDBusConnection::connectToBus(address, m_connectionName);
    EXPECT_TRUE(m_connection.registerObject(kPath, m_root));
    EXPECT_TRUE(m_connection.registerService(busName()));
}

FakePlayer::~FakePlayer()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
    QMetaObject::invokeMethod(m_root, [root = m_root] { delete root; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void FakePlayer::setStatus(const QString& status)
{
    {
        std::scoped_lock lock(m_state.mutex);
        m_state.status = status;
    }
    announce({{"PlaybackStatus", status}});
}

void FakePlayer::setMetadata(const QVariantMap& metadata)
{
    {
        std::scoped_lock lock(m_state.mutex);
        m_state.metadata = metadata;
    }
    announce({{"Metadata", metadata}});
}

void FakePlayer::seeked(qlonglong position)
{
    {
        std::scoped_lock lock(m_state.mutex);
        m_state.position = position;
    }
    auto signal = QDBusMessage::createSignal(kPath, kPlayerInterface, "Seeked");
    signal << position;
    m_connection.send(signal);
}

void FakePlayer::vanish()
{
    m_connection.unregisterService(busName());
}

QStringList FakePlayer::calls()
{
    std::scoped_lock lock(m_state.mutex);
    return m_state.calls;
}

void FakePlayer::announce(const QVariantMap& changed)
{
    auto signal = QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    signal << QString(kPlayerInterface) << changed << QStringList();
    m_connection.send(signal);
}

QVariantMap song(const QString& title, const QString& artUrl)
{
    QVariantMap metadata{
        {"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/org/fake/track/" + QString(title).replace(' ', '_')))},
        {"xesam:title", title},
        {"xesam:artist", QStringList{"Artist A", "Artist B"}},
        {"xesam:album", "Album"},
        {"mpris:length", qlonglong(180'000'000)},
    };
    if (!artUrl.isEmpty())
        metadata.insert("mpris:artUrl", artUrl);
    return metadata;
}

} // namespace fakempris

#include "FakeMprisPlayer.moc"
