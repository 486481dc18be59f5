#include "platform/mpris_service.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QUrl>
#include <cmath>
#include <limits>

#include "platform/log.h"

namespace reel::platform {

namespace {

constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

// The root interface: who the player is and what it accepts.
class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    RootAdaptor(MprisService& service, QObject* holder) : QDBusAbstractAdaptor(holder), service_(service) {}

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Reel"); }
    QString desktopEntry() const { return service_.desktopEntry(); }
    QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList supportedMimeTypes() const { return service_.mimeTypes(); }

public slots:
    void Raise() { service_.player().raise(); }
    void Quit() { service_.player().quit(); }

private:
    MprisService& service_;
};

// The player interface: the transport, the volume and the movie shown.
class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    PlayerAdaptor(MprisService& service, QDBusConnection bus, QObject* holder)
        : QDBusAbstractAdaptor(holder), service_(service), bus_(std::move(bus)) {}

    QString playbackStatus() const { return service_.state().status; }
    // Scanning stays with the seek buttons: the desktop sees normal speed only.
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const { return MprisService::metadata(service_.state().track); }
    double volume() const { return service_.state().volume; }
    void setVolume(double volume) { service_.setVolume(volume); }
    qlonglong position() const {
        return service_.state().track.id.isEmpty() ? 0 : service_.player().positionMicroseconds();
    }
    bool canGoNext() const { return service_.state().canGoNext; }
    bool canGoPrevious() const { return service_.state().canGoPrevious; }
    bool canPlay() const { return service_.state().canPlay; }
    bool canPause() const { return service_.state().canPause; }
    bool canSeek() const { return service_.state().canSeek; }
    bool canControl() const { return true; }

public slots:
    void Next() { service_.player().next(); }
    void Previous() { service_.player().previous(); }
    void Pause() { service_.player().pause(); }
    void PlayPause() { service_.player().playPause(); }
    void Stop() { service_.player().stop(); }
    void Play() { service_.player().play(); }
    void Seek(qlonglong offset) { service_.seekBy(offset); }
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
        service_.setPosition(trackId.path(), position);
    }
    void OpenUri(const QString& uri, const QDBusMessage& message) {
        const QString whyNot = service_.openUri(uri);
        if (whyNot.isEmpty()) return;
        message.setDelayedReply(true);
        bus_.send(message.createErrorReply(QDBusError::InvalidArgs, whyNot));
    }

signals:
    void Seeked(qlonglong Position);

private:
    MprisService& service_;
    QDBusConnection bus_;
};

// Adds without wrapping round: a huge offset lands at an end, not across it.
qint64 saturatingAdd(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

}  // namespace

MprisService::MprisService(MprisPlayer& player, QString desktopEntry, QStringList mimeTypes, QObject* parent)
    : QObject(parent),
      player_(player),
      desktopEntry_(std::move(desktopEntry)),
      mimeTypes_(std::move(mimeTypes)),
      bus_(QString()) {}

MprisService::~MprisService() {
    if (!bus_.isConnected()) return;
    bus_.unregisterObject(QString::fromLatin1(kObjectPath));
    if (!busName_.isEmpty()) bus_.unregisterService(busName_);
}

bool MprisService::registerOn(const QDBusConnection& bus) {
    if (!bus.isConnected()) {
        log("media controls: no session bus");
        return false;
    }
    bus_ = bus;
    new RootAdaptor(*this, this);
    new PlayerAdaptor(*this, bus_, this);
    if (!bus_.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors)) {
        log("media controls: cannot register the player object");
        return false;
    }
    const QString name = QStringLiteral("org.mpris.MediaPlayer2.reel");
    if (bus_.registerService(name)) {
        busName_ = name;
    } else {
        // Another player has the plain name: the instance suffix tells them apart.
        const QString instance = name + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (bus_.registerService(instance)) busName_ = instance;
    }
    if (busName_.isEmpty()) {
        log("media controls: cannot take a name on the session bus");
        bus_.unregisterObject(QString::fromLatin1(kObjectPath));
        return false;
    }
    log("media controls as " + busName_.toStdString());
    return true;
}

QVariantMap MprisService::metadata(const MprisTrack& track) {
    QVariantMap map;
    map.insert(
        QStringLiteral("mpris:trackid"),
        QVariant::fromValue(QDBusObjectPath(track.id.isEmpty() ? QString::fromLatin1(kNoTrack) : track.id)));
    if (track.id.isEmpty()) return map;
    map.insert(QStringLiteral("mpris:length"), QVariant::fromValue(qint64(track.lengthMicroseconds)));
    map.insert(QStringLiteral("xesam:title"), track.title);
    map.insert(QStringLiteral("xesam:url"), track.url);
    return map;
}

void MprisService::update(const MprisState& state) {
    if (state == state_) return;
    QVariantMap changed;
    if (state.status != state_.status) changed.insert(QStringLiteral("PlaybackStatus"), state.status);
    if (!(state.track == state_.track)) changed.insert(QStringLiteral("Metadata"), metadata(state.track));
    if (state.volume != state_.volume) changed.insert(QStringLiteral("Volume"), state.volume);
    if (state.canGoNext != state_.canGoNext) changed.insert(QStringLiteral("CanGoNext"), state.canGoNext);
    if (state.canGoPrevious != state_.canGoPrevious)
        changed.insert(QStringLiteral("CanGoPrevious"), state.canGoPrevious);
    if (state.canPlay != state_.canPlay) changed.insert(QStringLiteral("CanPlay"), state.canPlay);
    if (state.canPause != state_.canPause) changed.insert(QStringLiteral("CanPause"), state.canPause);
    if (state.canSeek != state_.canSeek) changed.insert(QStringLiteral("CanSeek"), state.canSeek);
    state_ = state;
    sendPropertiesChanged(changed);
}

void MprisService::sendPropertiesChanged(const QVariantMap& changed) {
    if (changed.isEmpty() || busName_.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     QString::fromLatin1(kPropertiesInterface),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    bus_.send(signal);
}

void MprisService::seeked(qint64 positionMicroseconds) {
    if (busName_.isEmpty()) return;
    for (QObject* child : children()) {
        if (auto* player = qobject_cast<PlayerAdaptor*>(child)) emit player->Seeked(positionMicroseconds);
    }
}

void MprisService::seekBy(qint64 offset) {
    if (!state_.canSeek || state_.track.id.isEmpty()) return;
    const qint64 target = saturatingAdd(player_.positionMicroseconds(), offset);
    // Before the start is the start; past the end is the end, as if the movie had played there.
    player_.seekTo(std::clamp<qint64>(target, 0, state_.track.lengthMicroseconds));
}

void MprisService::setPosition(const QString& trackId, qint64 position) {
    // A request about a movie no longer shown is stale; one outside the movie is ignored.
    if (!state_.canSeek || state_.track.id.isEmpty() || trackId != state_.track.id) return;
    if (position < 0 || position > state_.track.lengthMicroseconds) return;
    player_.seekTo(position);
}

QString MprisService::openUri(const QString& uri) {
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile()) return QStringLiteral("only file URLs are taken: ") + uri;
    const QFileInfo file(url.toLocalFile());
    if (!file.isFile()) return QStringLiteral("no such file: ") + file.filePath();
    player_.openFile(file.absoluteFilePath());
    return {};
}

void MprisService::setVolume(double volume) {
    if (!std::isfinite(volume)) return;
    player_.setVolume(std::clamp(volume, 0.0, 1.0));
}

}  // namespace reel::platform

#include "mpris_service.moc"
