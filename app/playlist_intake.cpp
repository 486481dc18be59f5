#include "app/playlist_intake.h"

#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include "platform/log.h"

namespace reel {

PlaylistIntake::PlaylistIntake(MovieOpener open, Sink sink, QObject* parent)
    : QObject(parent), open_(std::move(open)), sink_(std::move(sink)) {}

PlaylistIntake::~PlaylistIntake() { delete progress_; }

void PlaylistIntake::add(const QStringList& paths) {
    if (paths.isEmpty()) return;
    if (queue_.empty()) {
        total_ = done_ = 0;
        started_.start();
    }
    for (const QString& path : paths) queue_.push_back({path, std::nullopt, nullptr});
    total_ += int(paths.size());
    schedule();
}

void PlaylistIntake::addLines(const std::vector<PlaylistLine>& lines) {
    if (lines.empty()) return;
    if (queue_.empty()) {
        total_ = done_ = 0;
        started_.start();
    }
    for (const PlaylistLine& line : lines) queue_.push_back({line.location, line, nullptr});
    total_ += int(lines.size());
    schedule();
}

void PlaylistIntake::schedule() {
    if (!scheduled_) {
        scheduled_ = true;
        QTimer::singleShot(0, this, &PlaylistIntake::runSlice);
    }
}

void PlaylistIntake::takeOne() {
    const Item item = std::move(queue_.front());
    queue_.pop_front();
    ++done_;
    const bool url = item.path.contains(QStringLiteral("://"));
    if (!url && isPlaylistPath(item.path)) return openPlaylist(item);
    if (item.line) return takeLine(item);
    const EntryOutcome outcome = buildEntry(item.path.toStdString(), open_);
    if (outcome.entry)
        sink_(std::move(*outcome.entry));
    else if (!outcome.wrongExtension)  // a name the playlist never takes is passed over quietly
        platform::log("skipped " + item.path.toStdString() + ": " + outcome.skipReason);
}

void PlaylistIntake::keepUnviewable(const Item& item, const std::string& problem) {
    const PlaylistLine& line = *item.line;
    sink_(unviewableEntry(item.path.toStdString(), line.title.toStdString(), line.seconds, problem));
}

void PlaylistIntake::takeLine(const Item& item) {
    // Files that are not there are told apart cheaply, before anything opens them.
    if (item.path.contains(QStringLiteral("://"))) return keepUnviewable(item, "not a local file");
    if (item.path.size() > kLongestFileName) return keepUnviewable(item, "name too long");
    if (!QFileInfo::exists(item.path)) return keepUnviewable(item, "File not found");
    EntryOutcome outcome = buildEntry(item.path.toStdString(), open_);
    if (!outcome.entry) return keepUnviewable(item, outcome.skipReason);
    outcome.entry->title = item.line->title.toStdString();
    sink_(std::move(*outcome.entry));
}

void PlaylistIntake::openPlaylist(const Item& item) {
    const std::string name = item.path.toStdString();
    const QString canonical = QFileInfo(item.path).canonicalFilePath();
    const auto refuse = [&](const std::string& problem) {
        platform::log("playlist " + name + ": " + problem);
        if (item.line) keepUnviewable(item, problem);
    };
    if (canonical.isEmpty()) return refuse("File not found");
    if (item.through && item.through->contains(canonical))
        return refuse("lists itself (by way of " + item.through->last().toStdString() +
                      "); not opened again");
    if (item.through && item.through->size() >= kDeepestNesting)
        return refuse("playlists nested more than " + std::to_string(kDeepestNesting) + " deep; not opened");

    const PlaylistContents contents = readPlaylistFile(item.path);
    for (const QString& problem : contents.problems)
        platform::log("playlist " + name + ": " + problem.toStdString());
    if (!contents.readable) {
        if (item.line)
            keepUnviewable(item, contents.problems.value(0, QStringLiteral("not a playlist")).toStdString());
        return;
    }
    auto through = std::make_shared<QStringList>(item.through ? *item.through : QStringList());
    through->append(canonical);
    std::vector<Item> lines;
    lines.reserve(contents.lines.size());
    for (const PlaylistLine& line : contents.lines) lines.push_back({line.location, line, through});
    // In the playlist's place, ahead of what was queued after it.
    queue_.insert(queue_.begin(), std::make_move_iterator(lines.begin()),
                  std::make_move_iterator(lines.end()));
    total_ += int(lines.size());
    emit playlistOpened(QFileInfo(item.path).absoluteFilePath(), through->size() > 1);
}

void PlaylistIntake::runSlice() {
    // Still counted as scheduled while it runs: the progress dialog lets
    // events through, and a drop arriving then only joins the queue.
    QElapsedTimer slice;
    slice.start();
    while (!queue_.empty() && slice.elapsed() < kSliceMilliseconds) takeOne();
    updateProgress();
    scheduled_ = !queue_.empty();
    if (scheduled_)
        QTimer::singleShot(0, this, &PlaylistIntake::runSlice);
    else
        emit finished();
}

void PlaylistIntake::updateProgress() {
    if (queue_.empty()) {
        if (progress_) progress_->deleteLater();
        return;
    }
    if (!progress_ && started_.elapsed() >= kProgressAfterMilliseconds) {
        progress_ = new QProgressDialog(tr("Adding movies…"), tr("Cancel"), 0, total_, progressParent_);
        progress_->setWindowModality(progressParent_ ? Qt::WindowModal : Qt::ApplicationModal);
        progress_->setMinimumDuration(0);
        progress_->setAutoReset(false);
        connect(progress_, &QProgressDialog::canceled, this, &PlaylistIntake::cancel);
    }
    if (progress_) {
        progress_->setMaximum(total_);
        progress_->setValue(done_);
        progress_->setLabelText(tr("Adding movie %1 of %2…").arg(done_ + 1).arg(total_));
    }
}

void PlaylistIntake::cancel() {
    queue_.clear();
    updateProgress();
}

void PlaylistIntake::finish() {
    while (!queue_.empty()) takeOne();
    updateProgress();
}

}  // namespace reel
