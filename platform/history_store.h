#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace reel::platform {

// Where a movie was left, and whether it was seen to its end.
struct PlaceMark {
    double seconds = 0;
    bool watched = false;

    bool operator==(const PlaceMark&) const = default;
};

// What the player remembers between runs beyond its playlist: where each
// movie was left (by its content key) and the files last opened. Kept in an
// SQLite database in the state folder. Everything is read into memory when
// the store opens, so asking never waits on the disk; every change is
// written on a thread of the store's own. A database that cannot be used
// (damaged, not a database, locked by someone else, made by a newer Reel) is
// renamed out of the way, said in the log, and a fresh one made; where no
// file can be made at all, the store lives in memory for the run.
class HistoryStore : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kFileName = "history.sqlite";
    static constexpr int kSchemaVersion = 1;
    static constexpr int kRecentCount = 20;
    // How long a statement waits for another connection's lock before the database counts as locked.
    static constexpr int kBusyMilliseconds = 250;

    explicit HistoryStore(const QString& folder, QObject* parent = nullptr);
    // Writes what is still waiting before it returns.
    ~HistoryStore() override;

    const QString& path() const { return path_; }

    std::optional<PlaceMark> mark(const QString& key) const;
    void setMark(const QString& key, const PlaceMark& mark);

    // Most recent first, without repeats, kRecentCount at most.
    QStringList recent() const;
    void noteRecent(const QString& path);
    void clearRecent();

    // Waits until the store is open and every change so far is on disk.
    void flush();
    // The longest one change took to be written, in microseconds.
    qint64 longestWriteMicroseconds() const;

signals:
    // What the database held is in memory now (queued to the store's thread of birth).
    void loaded();

private:
    using Task = std::function<void()>;
    void post(Task task);
    void run();
    // On the writing thread:
    void open();
    bool tryOpen(const QString& file, QString* whyNot, bool* newer);
    void setAside(const QString& why, bool newer);
    void load();
    bool exec(const QString& statement, const QVariantList& values = {});

    const QString path_;
    QString connection_;
    QString lastError_;

    mutable std::mutex memoryMutex_;
    QHash<QString, PlaceMark> marks_;
    QStringList recent_;
    bool recentCleared_ = false;  // before the database was read

    mutable std::mutex queueMutex_;
    std::condition_variable wake_, idle_;
    std::deque<Task> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    qint64 longestMicroseconds_ = 0;
    std::thread worker_;
};

}  // namespace reel::platform
