#include "platform/history_store.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

#include "platform/log.h"

namespace reel::platform {

namespace {

// The tables as this version of the schema has them; a database without them gets them.
const char* const kTables[] = {
    "CREATE TABLE IF NOT EXISTS positions (key TEXT PRIMARY KEY, seconds REAL NOT NULL, "
    "watched INTEGER NOT NULL, updated INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS recent (path TEXT PRIMARY KEY, used INTEGER NOT NULL)",
};

std::string text(const QString& string) { return string.toStdString(); }

}  // namespace

HistoryStore::HistoryStore(const QString& folder, QObject* parent)
    : QObject(parent), path_(QDir(folder).absoluteFilePath(kFileName)), worker_([this] { run(); }) {
    post([this] { open(); });
}

HistoryStore::~HistoryStore() {
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

std::optional<PlaceMark> HistoryStore::mark(const QString& key) const {
    std::lock_guard lock(memoryMutex_);
    const auto found = marks_.constFind(key);
    if (found == marks_.constEnd()) return std::nullopt;
    return *found;
}

void HistoryStore::setMark(const QString& key, const PlaceMark& mark) {
    {
        std::lock_guard lock(memoryMutex_);
        marks_.insert(key, mark);
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    post([this, key, mark, now] {
        exec(
            "INSERT INTO positions (key, seconds, watched, updated) VALUES (?, ?, ?, ?) "
            "ON CONFLICT (key) DO UPDATE SET seconds = excluded.seconds, watched = excluded.watched, "
            "updated = excluded.updated",
            {key, mark.seconds, int(mark.watched), now});
    });
}

QStringList HistoryStore::recent() const {
    std::lock_guard lock(memoryMutex_);
    return recent_;
}

void HistoryStore::noteRecent(const QString& path) {
    {
        std::lock_guard lock(memoryMutex_);
        recent_.removeAll(path);
        recent_.prepend(path);
        while (recent_.size() > kRecentCount) recent_.removeLast();
    }
    // Milliseconds order them; two in the same millisecond keep the order they came in.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    post([this, path, now] {
        QSqlQuery last(QSqlDatabase::database(connection_));
        qint64 used = now;
        if (last.exec("SELECT MAX(used) FROM recent") && last.next())
            used = std::max(now, last.value(0).toLongLong() + 1);
        exec(
            "INSERT INTO recent (path, used) VALUES (?, ?) ON CONFLICT (path) DO UPDATE SET used = "
            "excluded.used",
            {path, used});
        exec(
            QStringLiteral("DELETE FROM recent WHERE path NOT IN (SELECT path FROM recent ORDER BY used DESC "
                           "LIMIT %1)")
                .arg(kRecentCount));
    });
}

void HistoryStore::clearRecent() {
    {
        std::lock_guard lock(memoryMutex_);
        recent_.clear();
        recentCleared_ = true;
    }
    post([this] { exec("DELETE FROM recent"); });
}

void HistoryStore::flush() {
    std::unique_lock lock(queueMutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

qint64 HistoryStore::longestWriteMicroseconds() const {
    std::lock_guard lock(queueMutex_);
    return longestMicroseconds_;
}

void HistoryStore::post(Task task) {
    {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void HistoryStore::run() {
    std::unique_lock lock(queueMutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) break;  // stopping, nothing left
        Task task = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        QElapsedTimer took;
        took.start();
        task();
        const qint64 micros = took.nsecsElapsed() / 1000;
        lock.lock();
        busy_ = false;
        longestMicroseconds_ = std::max(longestMicroseconds_, micros);
        idle_.notify_all();
    }
    lock.unlock();
    if (!connection_.isEmpty()) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

// ---- On the writing thread

void HistoryStore::open() {
    QString why;
    bool newer = false;
    QDir().mkpath(QFileInfo(path_).absolutePath());
    if (!tryOpen(path_, &why, &newer)) {
        setAside(why, newer);
        if (!tryOpen(path_, &why, &newer)) {
            log("history database " + text(path_) + " cannot be made (" + text(why) +
                "); what is played is remembered until Reel quits");
            tryOpen(QStringLiteral(":memory:"), &why, &newer);
        }
    }
    load();
}

bool HistoryStore::tryOpen(const QString& file, QString* whyNot, bool* newer) {
    static std::atomic<int> made{0};
    if (!connection_.isEmpty()) QSqlDatabase::removeDatabase(connection_);
    connection_ = QStringLiteral("reel-history-%1").arg(++made);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMilliseconds));
        QSqlQuery query(db);
        const auto fail = [&](const QString& why) {
            *whyNot = why;
            return false;
        };
        const auto error = [&] { return query.lastError().text(); };
        ok = [&] {
            if (!db.open()) return fail(db.lastError().text());
            if (!query.exec("PRAGMA user_version") || !query.next())
                return fail("is not a database: " + error());
            const int version = query.value(0).toInt();
            if (version > kSchemaVersion) {
                *newer = true;
                return fail(QStringLiteral("was made by a newer Reel (schema %1, this one reads %2)")
                                .arg(version)
                                .arg(kSchemaVersion));
            }
            // Readers never wait for the writer, and a crash never leaves half a change.
            if (!query.exec("PRAGMA journal_mode = WAL")) return fail("is locked or damaged: " + error());
            query.exec("PRAGMA synchronous = NORMAL");
            // Someone else writing to it now would make every change wait: it counts as locked.
            if (!query.exec("BEGIN IMMEDIATE")) return fail("is locked: " + error());
            for (const char* table : kTables)
                if (!query.exec(table)) return fail("is damaged: " + error());
            if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)) ||
                !query.exec("COMMIT"))
                return fail("cannot be written: " + error());
            if (!query.exec("PRAGMA quick_check") || !query.next() || query.value(0).toString() != "ok")
                return fail("is damaged: " + (query.isValid() ? query.value(0).toString() : error()));
            return true;
        }();
        query.finish();
        if (!ok && db.isOpen()) {
            query.exec("ROLLBACK");
            db.close();
        }
    }
    return ok;
}

void HistoryStore::setAside(const QString& why, bool newer) {
    if (!QFileInfo::exists(path_)) {
        log("history database " + text(path_) + " " + text(why));
        return;
    }
    // Kept for whoever wants to look, or for the newer Reel that made it.
    const QString stem = path_ + (newer ? ".newer-" : ".broken-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = stem;
    for (int n = 2; QFileInfo::exists(aside); ++n) aside = stem + '-' + QString::number(n);
    if (!QFile::rename(path_, aside)) {
        log("history database " + text(path_) + " " + text(why) + "; it cannot be set aside");
        return;
    }
    // Its journal goes with it: left behind, it would be read into the fresh one.
    for (const char* suffix : {"-wal", "-shm"})
        if (QFileInfo::exists(path_ + suffix)) QFile::rename(path_ + suffix, aside + suffix);
    log("history database " + text(path_) + " " + text(why) + "; set aside as " + text(aside));
}

void HistoryStore::load() {
    QHash<QString, PlaceMark> marks;
    QStringList recent;
    {
        QSqlQuery query(QSqlDatabase::database(connection_, false));
        if (query.exec("SELECT key, seconds, watched FROM positions"))
            while (query.next())
                marks.insert(query.value(0).toString(),
                             {query.value(1).toDouble(), query.value(2).toInt() != 0});
        if (query.exec(
                QStringLiteral("SELECT path FROM recent ORDER BY used DESC LIMIT %1").arg(kRecentCount)))
            while (query.next()) recent << query.value(0).toString();
    }
    {
        // What was changed before the database was read is newer than what it holds.
        std::lock_guard lock(memoryMutex_);
        for (auto it = marks.cbegin(); it != marks.cend(); ++it)
            if (!marks_.contains(it.key())) marks_.insert(it.key(), it.value());
        for (const QString& path : recentCleared_ ? QStringList() : recent)
            if (recent_.size() < kRecentCount && !recent_.contains(path)) recent_ << path;
    }
    QMetaObject::invokeMethod(this, &HistoryStore::loaded, Qt::QueuedConnection);
}

bool HistoryStore::exec(const QString& statement, const QVariantList& values) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    bool ok = query.prepare(statement);
    for (const QVariant& value : values) query.addBindValue(value);
    ok = ok && query.exec();
    if (!ok) {
        // Said once, not at every change while it lasts.
        const QString error = query.lastError().text();
        if (error != lastError_) log("history database " + text(path_) + ": cannot write: " + text(error));
        lastError_ = error;
    } else {
        lastError_.clear();
    }
    return ok;
}

}  // namespace reel::platform
