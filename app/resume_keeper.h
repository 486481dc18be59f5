#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/history_store.h"

namespace reel {

class AppController;
class PlaylistModel;

// Resumes movies where the user stopped: keeps where the movie in the viewer
// was (every few seconds while it plays, and when it is paused, replaced or
// the player quits), starts it there when it is viewed again, and marks the
// movies seen to their end in the playlist. Movies are known by their
// content, not their path. Switched off, it neither reads nor writes anything.
class ResumeKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int kPlayingMilliseconds = 5000;
    // Left this close to its end, a movie counts as seen.
    static constexpr double kWatchedTailSeconds = 60;

    ResumeKeeper(AppController& controller, platform::HistoryStore& store, QObject* parent = nullptr);
    ~ResumeKeeper() override;

    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }

    // Keeps where the movie in the viewer is now, as the player quits.
    void recordNow();

    // What is kept of a movie left at `seconds` of `length`, given what was kept of it before.
    static platform::PlaceMark markAfter(double seconds, double length,
                                         const std::optional<platform::PlaceMark>& before);
    // Whether the file was seen to its end, as far as is known without reading it.
    bool watched(const QString& path) const;
    // Where viewing the file starts: where it was left, or 0.
    double startOf(const QString& path);

    QTimer& playingTimer() { return playing_; }
    // Waits until the keys of the files asked for so far are known (a test's or a bench's wait).
    void waitForKeys();

signals:
    // Which movies are marked seen may have changed.
    void marksChanged();

private:
    struct Known {
        qint64 size = -1;
        QDateTime modified;
        std::optional<QString> key;
    };
    static Known examine(const QString& path);
    std::optional<QString> keyOf(const QString& path);
    void keep(const QString& path, double seconds, double length);
    using Next = std::function<platform::PlaceMark(const std::optional<platform::PlaceMark>& before)>;
    void update(const QString& path, const Next& next);
    void lookAhead();
    void keysFound(const QHash<QString, Known>& found);
    void run();

    AppController& controller_;
    platform::HistoryStore& store_;
    PlaylistModel* model_ = nullptr;
    bool enabled_ = false;
    QTimer playing_;
    QHash<QString, Known> known_;

    // Keys of the playlist's files, read on a thread of their own so the table can show marks.
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<QString> wanted_;
    QSet<QString> asked_;  // main thread only
    bool reading_ = false;
    bool stopping_ = false;
    std::thread reader_;
};

}  // namespace reel
