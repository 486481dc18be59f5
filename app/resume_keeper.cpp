#include "app/resume_keeper.h"

#include <QAbstractItemModel>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "app/app_controller.h"
#include "app/playlist_model.h"
#include "app/playlist_table.h"
#include "platform/content_key.h"

namespace reel {

namespace {

// Keys found on the reading thread reach the table in batches this large.
constexpr int kKeysPerBatch = 256;

}  // namespace

ResumeKeeper::ResumeKeeper(AppController& controller, platform::HistoryStore& store, QObject* parent)
    : QObject(parent), controller_(controller), store_(store), reader_([this] { run(); }) {
    playing_.setInterval(kPlayingMilliseconds);
    connect(&playing_, &QTimer::timeout, this, [this] {
        if (controller_.view() && controller_.view()->isPlaying()) recordNow();
    });
    connect(&controller_, &AppController::leaving, this, &ResumeKeeper::keep);
    connect(&controller_, &AppController::playedToEnd, this, [this](const QString& path) {
        update(path, [](const std::optional<platform::PlaceMark>&) { return platform::PlaceMark{0, true}; });
    });
    controller_.setStartAt([this](const QString& path) { return startOf(path); });

    model_ = qobject_cast<PlaylistModel*>(controller_.outlets().tableView->model());
    if (model_) {
        model_->setWatched([this](const EntryRecord& entry) {
            return enabled_ && watched(QString::fromStdString(entry.name));
        });
        connect(this, &ResumeKeeper::marksChanged, model_, &PlaylistModel::marksChanged);
        connect(model_, &QAbstractItemModel::rowsInserted, this, &ResumeKeeper::lookAhead);
        connect(model_, &QAbstractItemModel::modelReset, this, &ResumeKeeper::lookAhead);
    }
    connect(&store_, &platform::HistoryStore::loaded, this, [this] {
        if (enabled_) emit marksChanged();
    });
}

ResumeKeeper::~ResumeKeeper() {
    controller_.setStartAt({});
    if (model_) model_->setWatched({});
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        wanted_.clear();
    }
    wake_.notify_all();
    reader_.join();
}

void ResumeKeeper::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled_) {
        playing_.start();
        lookAhead();
    } else {
        playing_.stop();
    }
    emit marksChanged();
}

platform::PlaceMark ResumeKeeper::markAfter(double seconds, double length,
                                            const std::optional<platform::PlaceMark>& before) {
    const bool seen = before && before->watched;
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    if (!std::isfinite(length) || length <= 0) return {seconds, seen};  // no end to measure against
    // A clip of a few minutes would count as seen as soon as it began: its last quarter does.
    const double tail = std::min(kWatchedTailSeconds, length / 4);
    if (seconds >= length - tail) return {0, true};
    return {seconds, seen};
}

void ResumeKeeper::recordNow() {
    if (!controller_.view() || !controller_.view()->movie()) return;
    keep(controller_.shownPath(), controller_.shownSeconds(), controller_.shownLength());
}

void ResumeKeeper::keep(const QString& path, double seconds, double length) {
    update(path, [&](const std::optional<platform::PlaceMark>& before) {
        return markAfter(seconds, length, before);
    });
}

void ResumeKeeper::update(const QString& path, const Next& next) {
    if (!enabled_ || path.isEmpty()) return;
    const std::optional<QString> key = keyOf(path);
    if (!key) return;  // unreadable: not resumed
    const std::optional<platform::PlaceMark> before = store_.mark(*key);
    const platform::PlaceMark after = next(before);
    if (before && *before == after) return;
    store_.setMark(*key, after);
    if (after.watched != (before && before->watched)) emit marksChanged();
}

double ResumeKeeper::startOf(const QString& path) {
    if (!enabled_) return 0;
    const std::optional<QString> key = keyOf(path);
    if (!key) return 0;
    const std::optional<platform::PlaceMark> mark = store_.mark(*key);
    return mark ? mark->seconds : 0;
}

bool ResumeKeeper::watched(const QString& path) const {
    const auto known = known_.constFind(path);
    if (known == known_.constEnd() || !known->key) return false;
    const std::optional<platform::PlaceMark> mark = store_.mark(*known->key);
    return mark && mark->watched;
}

ResumeKeeper::Known ResumeKeeper::examine(const QString& path) {
    const QFileInfo info(path);
    Known known{info.size(), info.lastModified(), std::nullopt};
    if (info.isFile()) known.key = platform::ContentKey::of(path);
    return known;
}

std::optional<QString> ResumeKeeper::keyOf(const QString& path) {
    // A file read before and unchanged since is not read again.
    const QFileInfo info(path);
    const auto known = known_.constFind(path);
    if (known != known_.constEnd() && known->key && known->size == info.size() &&
        known->modified == info.lastModified())
        return known->key;
    const Known now = examine(path);
    known_.insert(path, now);
    return now.key;
}

// ---- Keys of the whole playlist, for its marks

void ResumeKeeper::lookAhead() {
    if (!enabled_) return;
    std::deque<QString> paths;
    for (const EntryRecord& entry : controller_.objects()) {
        if (!entry.problem.empty()) continue;
        const QString path = QString::fromStdString(entry.name);
        if (known_.contains(path) || asked_.contains(path)) continue;
        asked_.insert(path);
        paths.push_back(path);
    }
    if (paths.empty()) return;
    {
        std::lock_guard lock(mutex_);
        wanted_.insert(wanted_.end(), paths.begin(), paths.end());
    }
    wake_.notify_all();
}

void ResumeKeeper::keysFound(const QHash<QString, Known>& found) {
    bool anySeen = false;
    for (auto it = found.cbegin(); it != found.cend(); ++it) {
        asked_.remove(it.key());
        // What was read at view time is as new or newer.
        if (!known_.contains(it.key())) known_.insert(it.key(), it.value());
        if (!anySeen && it->key) {
            const auto mark = store_.mark(*it->key);
            anySeen = mark && mark->watched;
        }
    }
    if (anySeen) emit marksChanged();
}

void ResumeKeeper::waitForKeys() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return wanted_.empty() && !reading_; });
}

void ResumeKeeper::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !wanted_.empty(); });
        if (stopping_) return;
        reading_ = true;
        QHash<QString, Known> found;
        while (!wanted_.empty() && !stopping_ && found.size() < kKeysPerBatch) {
            const QString path = std::move(wanted_.front());
            wanted_.pop_front();
            lock.unlock();
            found.insert(path, examine(path));
            lock.lock();
        }
        // The keeper waits for this thread before it goes, so it is still there to be called.
        QMetaObject::invokeMethod(
            this, [this, found] { keysFound(found); }, Qt::QueuedConnection);
        reading_ = false;
        idle_.notify_all();
    }
}

}  // namespace reel
