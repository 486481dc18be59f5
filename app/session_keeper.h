#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "media/playlist_file.h"

namespace reel {

class AppController;
namespace platform {
class StateFile;
}

// The playlist as the state file keeps it between runs.
struct SessionSnapshot {
    std::vector<PlaylistLine> entries;
    int selected = -1;
    // The movie being viewed, and where it was, in seconds; negative when none was.
    QString shown;
    double position = -1;
    // Set only by a normal quit: a file without it was left by a crash.
    bool clean = false;

    bool operator==(const SessionSnapshot&) const = default;
};

QByteArray encodeSession(const SessionSnapshot& snapshot);
// Nothing, with the reason, when the bytes are not a state file of a version this reads.
std::optional<SessionSnapshot> decodeSession(const QByteArray& bytes, QString* whyNot);

// Keeps the current playlist in a state file, rewritten on every change, so
// that a crash never loses it; offers it back at the next launch when that
// run did not end cleanly.
class SessionKeeper : public QObject {
    Q_OBJECT
public:
    // Asked, with the number of entries, whether to bring the playlist of a run that crashed back.
    using AskRestore = std::function<bool(int entries)>;

    SessionKeeper(AppController& controller, const QString& folder, QObject* parent = nullptr);
    ~SessionKeeper() override;

    // $XDG_STATE_HOME/reel, ~/.local/state/reel by default.
    static QString defaultFolder();
    static constexpr const char* kFileName = "session.json";

    // What the last run left, read before anything is written; nothing when there is no usable file.
    const std::optional<SessionSnapshot>& previous() const { return previous_; }
    // Brings the last playlist back when the preference says always, or when
    // the last run crashed and the user says so; then records every change.
    void start(bool restoreAlways, const AskRestore& ask);
    // Records the playlist now rather than once the current event is over; returns the version.
    quint64 recordNow();
    // Records the playlist with the mark of a normal end, and waits until it is on disk.
    void endCleanly();

    platform::StateFile& file() { return *file_; }
    bool recording() const { return recording_; }

signals:
    // The playlist of the last run is back in the table.
    void restored();

private:
    void beginRecording();
    void changed();
    SessionSnapshot snapshot() const;

    AppController& controller_;
    std::unique_ptr<platform::StateFile> file_;
    std::optional<SessionSnapshot> previous_;
    QTimer soon_;
    QTimer whilePlaying_;
    bool recording_ = false;
};

}  // namespace reel
