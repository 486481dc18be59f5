#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/playlist_entry.h"

class QProgressDialog;
class QWidget;

namespace reel {

// Turns files into playlist entries, in order, a slice at a time on the main
// thread so the windows keep answering. A list that takes longer than half
// a second shows its progress and can be cancelled; what was added stays.
class PlaylistIntake : public QObject {
    Q_OBJECT
public:
    using Sink = std::function<void(EntryRecord)>;

    PlaylistIntake(MovieOpener open, Sink sink, QObject* parent = nullptr);
    ~PlaylistIntake() override;

    // Where the progress shows; it blocks only that window while it runs.
    void setProgressParent(QWidget* window) { progressParent_ = window; }

    // Paths are the bytes the file system holds, which need not be UTF-8.
    void add(const std::vector<std::string>& paths);
    bool busy() const { return !queue_.empty(); }
    void cancel();
    // Adds everything still queued before returning.
    void finish();

    static constexpr int kSliceMilliseconds = 25;
    static constexpr int kProgressAfterMilliseconds = 500;

signals:
    void finished();

private:
    void runSlice();
    void takeOne();
    void updateProgress();

    MovieOpener open_;
    Sink sink_;
    std::deque<std::string> queue_;
    int total_ = 0;
    int done_ = 0;
    bool scheduled_ = false;
    QElapsedTimer started_;
    QPointer<QWidget> progressParent_;
    QPointer<QProgressDialog> progress_;
};

}  // namespace reel
