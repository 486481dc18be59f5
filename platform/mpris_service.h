#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace reel::platform {

// The track the desktop is told about. An empty id means nothing is shown.
struct MprisTrack {
    QString id;  // an object path, new for every movie viewed
    qint64 lengthMicroseconds = 0;
    QString title;
    QString url;  // file:// URL

    bool operator==(const MprisTrack&) const = default;
};

// Everything the desktop's media controls show, as the player is now.
struct MprisState {
    QString status = QStringLiteral("Stopped");  // Playing, Paused or Stopped
    MprisTrack track;
    double volume = 1.0;  // 0 to 1
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;

    bool operator==(const MprisState&) const = default;
};

// What the desktop may ask of the player. The player answers with the same
// actions its own controls use; the service only checks and clamps requests.
class MprisPlayer {
public:
    virtual ~MprisPlayer() = default;
    virtual void raise() = 0;
    virtual void quit() = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void playPause() = 0;
    virtual void stop() = 0;
    virtual void next() = 0;
    virtual void previous() = 0;
    // Within 0..the track's length; the length itself means the end of the movie.
    virtual void seekTo(qint64 microseconds) = 0;
    virtual void setVolume(double volume) = 0;  // 0 to 1
    // An existing local file, to be added to the playlist and viewed.
    virtual void openFile(const QString& path) = 0;
    virtual qint64 positionMicroseconds() const = 0;
};

// The player on the session bus as a media player desktops can control:
// org.mpris.MediaPlayer2.reel, or .instance<pid> beside another Reel.
class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

    MprisService(MprisPlayer& player, QString desktopEntry, QStringList mimeTypes, QObject* parent = nullptr);
    ~MprisService() override;

    // Takes the name on the bus; false, with nothing taken, when there is no bus.
    bool registerOn(const QDBusConnection& bus);
    QString busName() const { return busName_; }

    // Tells the desktop what changed since the last state it was given.
    void update(const MprisState& state);
    const MprisState& state() const { return state_; }
    // The position jumped (a seek, not the movie playing on).
    void seeked(qint64 positionMicroseconds);

    // The Player interface's Metadata for a track.
    static QVariantMap metadata(const MprisTrack& track);

    // The requests, checked; the adaptors call these.
    MprisPlayer& player() { return player_; }
    const QString& desktopEntry() const { return desktopEntry_; }
    const QStringList& mimeTypes() const { return mimeTypes_; }
    void seekBy(qint64 offset);
    void setPosition(const QString& trackId, qint64 position);
    // An empty answer when the URI was taken, otherwise why not.
    QString openUri(const QString& uri);
    void setVolume(double volume);

private:
    void sendPropertiesChanged(const QVariantMap& changed);

    MprisPlayer& player_;
    QString desktopEntry_;
    QStringList mimeTypes_;
    MprisState state_;
    QDBusConnection bus_;
    QString busName_;
};

}  // namespace reel::platform
