#include "platform/state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "platform/log.h"

namespace reel::platform {

namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

}  // namespace

QString StateFile::defaultFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // The XDG base directory rules ignore relative paths.
    if (state.isEmpty() || !QDir::isAbsolutePath(state)) state = QDir::homePath() + "/.local/state";
    return state + "/reel";
}

StateFile::StateFile(QString path, QObject* parent)
    : QObject(parent), path_(std::move(path)), worker_([this] { run(); }) {}

StateFile::~StateFile() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

quint64 StateFile::save(Maker make) {
    quint64 generation;
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(make);
        generation = pendingGeneration_ = ++lastGeneration_;
    }
    wake_.notify_all();
    return generation;
}

bool StateFile::saveNow(const QByteArray& bytes) {
    quint64 generation;
    {
        std::unique_lock lock(mutex_);
        pending_ = nullptr;
        idle_.wait(lock, [this] { return !writing_; });
        generation = ++lastGeneration_;
        writing_ = true;
    }
    QString whyNot;
    const bool ok = writeAtomically(path_, bytes, &whyNot);
    {
        std::lock_guard lock(mutex_);
        writing_ = false;
    }
    idle_.notify_all();
    if (!ok) log("cannot write " + path_.toStdString() + ": " + whyNot.toStdString());
    emit saved(generation);
    return ok;
}

void StateFile::flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !writing_ && !pending_; });
}

qint64 StateFile::longestWriteMicroseconds() const {
    std::lock_guard lock(mutex_);
    return longestMicroseconds_;
}

void StateFile::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || pending_; });
        if (!pending_) return;  // stopping, nothing left
        Maker make = std::move(pending_);
        pending_ = nullptr;
        const quint64 generation = pendingGeneration_;
        writing_ = true;
        lock.unlock();

        QElapsedTimer took;
        took.start();
        QString whyNot;
        if (!writeAtomically(path_, make(), &whyNot))
            log("cannot write " + path_.toStdString() + ": " + whyNot.toStdString());
        const qint64 micros = took.nsecsElapsed() / 1000;
        QMetaObject::invokeMethod(
            this, [this, generation] { emit saved(generation); }, Qt::QueuedConnection);

        lock.lock();
        writing_ = false;
        longestMicroseconds_ = std::max(longestMicroseconds_, micros);
        idle_.notify_all();
    }
}

bool StateFile::writeAtomically(const QString& path, const QByteArray& bytes, QString* whyNot) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        if (whyNot) *whyNot = QStringLiteral("cannot make the folder %1").arg(info.absolutePath());
        return false;
    }
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray fresh = target + ".new";
    const int fd = ::open(fresh.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (whyNot) *whyNot = systemError();
        return false;
    }
    // The new version is on the disk before its name replaces the old one's.
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const QString writeError = written ? QString() : systemError();
    ::close(fd);
    if (!written || ::rename(fresh.constData(), target.constData()) != 0) {
        if (whyNot) *whyNot = written ? systemError() : writeError;
        ::unlink(fresh.constData());
        return false;
    }
    // And the rename itself survives a power cut.
    const int dir =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::optional<QByteArray> StateFile::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

}  // namespace reel::platform
