#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/playlist_entry.h"
#include "media/playlist_file.h"

class QProgressDialog;
class QWidget;

namespace reel {

// Turns files into playlist entries, in order, a slice at a time on the main
// thread so the windows keep answering. A list that takes longer than half
// a second shows its progress and can be cancelled; what was added stays.
// A playlist file is opened in its place: its lines become entries, those
// that cannot be viewed greyed rather than dropped, so saving loses none.
class PlaylistIntake : public QObject {
    Q_OBJECT
public:
    using Sink = std::function<void(EntryRecord)>;
    // Called once, right after the first file of a batch becomes an entry;
    // never when none of them does.
    using FirstAdded = std::function<void()>;

    PlaylistIntake(MovieOpener open, Sink sink, QObject* parent = nullptr);
    ~PlaylistIntake() override;

    // Where the progress shows; it blocks only that window while it runs.
    void setProgressParent(QWidget* window) { progressParent_ = window; }

    const MovieOpener& opener() const { return open_; }

    // Paths are the bytes the file system holds, which need not be UTF-8.
    void add(const std::vector<std::string>& paths, FirstAdded firstAdded = {});
    // Names as text (a dialog's, a test's): the file system's bytes are their UTF-8.
    void add(const QStringList& paths);
    // Lines of a playlist the caller has read, kept whether or not they can be viewed.
    void addLines(const std::vector<PlaylistLine>& lines);
    bool busy() const { return !queue_.empty(); }
    void cancel();
    // Adds everything still queued before returning.
    void finish();

    static constexpr int kSliceMilliseconds = 25;
    static constexpr int kProgressAfterMilliseconds = 500;
    // Playlists inside playlists go no deeper than this.
    static constexpr int kDeepestNesting = 8;

signals:
    void finished();
    // A playlist file was read and its lines queued; nested when another playlist listed it.
    void playlistOpened(const QString& path, bool nested);

private:
    struct Item {
        std::string path;
        // Set for a line of a playlist file.
        std::optional<PlaylistLine> line;
        // The playlists the line came through, outermost first, by their canonical paths.
        std::shared_ptr<const QStringList> through;
        // Shared by the paths of one add, and by the lines of a playlist among them.
        std::shared_ptr<FirstAdded> firstAdded;
    };
    void enqueue(std::vector<Item> items);
    void runSlice();
    void takeOne();
    void takeLine(const Item& item);
    void openPlaylist(const Item& item);
    void keepUnviewable(const Item& item, const std::string& problem);
    void deliver(const Item& item, EntryRecord entry);
    void schedule();
    void updateProgress();

    MovieOpener open_;
    Sink sink_;
    std::deque<Item> queue_;
    int total_ = 0;
    int done_ = 0;
    bool scheduled_ = false;
    QElapsedTimer started_;
    QPointer<QWidget> progressParent_;
    QPointer<QProgressDialog> progress_;
};

}  // namespace reel
