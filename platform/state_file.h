#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace reel::platform {

// A small file that must survive any crash whole: each version is written to
// a new file, flushed to the disk and renamed over the old one, so the name
// always holds a complete old or new version. Writing happens on a thread of
// its own; when versions come faster than the disk takes them, only the
// newest still waiting is written.
class StateFile : public QObject {
    Q_OBJECT
public:
    explicit StateFile(QString path, QObject* parent = nullptr);
    // Writes what is still waiting before it returns.
    ~StateFile() override;

    const QString& path() const { return path_; }
    // Where the player keeps its state: $XDG_STATE_HOME/reel, ~/.local/state/reel by default.
    static QString defaultFolder();

    using Maker = std::function<QByteArray()>;
    // Queues a version, made on the writing thread; returns its number.
    quint64 save(Maker make);
    // Writes this version now, on the caller's thread, over anything queued.
    bool saveNow(const QByteArray& bytes);
    // Waits until everything queued is on disk.
    void flush();

    // The longest a version took to be made and written, in microseconds.
    qint64 longestWriteMicroseconds() const;

    // Writes bytes to path as described above; false with the reason when it could not.
    static bool writeAtomically(const QString& path, const QByteArray& bytes, QString* whyNot);
    // The file's bytes, or nothing when there is no file.
    static std::optional<QByteArray> read(const QString& path);

signals:
    // Version number `generation` (and every one before it) is on disk, or was passed over for a newer one.
    void saved(quint64 generation);

private:
    void run();

    const QString path_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    Maker pending_;
    quint64 pendingGeneration_ = 0;
    quint64 lastGeneration_ = 0;
    bool writing_ = false;
    bool stopping_ = false;
    qint64 longestMicroseconds_ = 0;
    std::thread worker_;
};

}  // namespace reel::platform
