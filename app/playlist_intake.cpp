#include "app/playlist_intake.h"

#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "app/json.h"
#include "platform/log.h"

namespace reel {

PlaylistIntake::PlaylistIntake(MovieOpener open, Sink sink, QObject* parent)
    : QObject(parent), open_(std::move(open)), sink_(std::move(sink)) {}

PlaylistIntake::~PlaylistIntake() { delete progress_; }

void PlaylistIntake::add(const std::vector<std::string>& paths, FirstAdded firstAdded) {
    auto batch = firstAdded ? std::make_shared<FirstAdded>(std::move(firstAdded)) : nullptr;
    std::vector<Item> items;
    items.reserve(paths.size());
    for (const std::string& path : paths) items.push_back({path, std::nullopt, nullptr, batch});
    enqueue(std::move(items));
}

void PlaylistIntake::add(const QStringList& paths) {
    std::vector<std::string> bytes;
    bytes.reserve(std::size_t(paths.size()));
    for (const QString& path : paths) bytes.push_back(path.toStdString());
    add(bytes);
}

void PlaylistIntake::addLines(const std::vector<PlaylistLine>& lines) {
    std::vector<Item> items;
    items.reserve(lines.size());
    for (const PlaylistLine& line : lines)
        items.push_back({line.location.toStdString(), line, nullptr, nullptr});
    enqueue(std::move(items));
}

void PlaylistIntake::enqueue(std::vector<Item> items) {
    if (items.empty()) return;
    if (queue_.empty()) {
        total_ = done_ = 0;
        started_.start();
    }
    total_ += int(items.size());
    queue_.insert(queue_.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
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
    const bool url = item.path.find("://") != std::string::npos;
    if (!url && isPlaylistPath(QString::fromStdString(item.path))) return openPlaylist(item);
    if (item.line) return takeLine(item);
    EntryOutcome outcome = buildEntry(item.path, open_);
    if (outcome.entry)
        deliver(item, std::move(*outcome.entry));
    else if (!outcome.wrongExtension)  // a name the playlist never takes is passed over quietly
        platform::log("skipped " + jsonString(item.path) + ": " + outcome.skipReason);
}

void PlaylistIntake::keepUnviewable(const Item& item, const std::string& problem) {
    const PlaylistLine& line = *item.line;
    sink_(unviewableEntry(item.path, line.title.toStdString(), line.seconds, problem));
}

void PlaylistIntake::takeLine(const Item& item) {
    // Files that are not there are told apart cheaply, before anything opens them.
    if (item.path.find("://") != std::string::npos) return keepUnviewable(item, "not a local file");
    if (item.path.size() > std::size_t(kLongestFileName)) return keepUnviewable(item, "name too long");
    if (!QFileInfo::exists(QString::fromStdString(item.path))) return keepUnviewable(item, "File not found");
    EntryOutcome outcome = buildEntry(item.path, open_);
    if (!outcome.entry) return keepUnviewable(item, outcome.skipReason);
    outcome.entry->title = item.line->title.toStdString();
    deliver(item, std::move(*outcome.entry));
}

void PlaylistIntake::deliver(const Item& item, EntryRecord entry) {
    sink_(std::move(entry));
    if (!item.firstAdded || !*item.firstAdded) return;
    // Last: it may well add, view or cancel.
    const FirstAdded call = std::exchange(*item.firstAdded, {});
    call();
}

void PlaylistIntake::openPlaylist(const Item& item) {
    const std::string name = jsonString(item.path);
    const QString text = QString::fromStdString(item.path);
    const QString canonical = QFileInfo(text).canonicalFilePath();
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

    const PlaylistContents contents = readPlaylistFile(text);
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
    for (const PlaylistLine& line : contents.lines)
        lines.push_back({line.location.toStdString(), line, through, item.firstAdded});
    // In the playlist's place, ahead of what was queued after it.
    queue_.insert(queue_.begin(), std::make_move_iterator(lines.begin()),
                  std::make_move_iterator(lines.end()));
    total_ += int(lines.size());
    emit playlistOpened(QFileInfo(text).absoluteFilePath(), through->size() > 1);
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
        progress_ = new QProgressDialog(tr("Adding movies…"), QString(), 0, total_, progressParent_);
        // Return and Space would press a default or focused Cancel while the
        // user types on, thinking the dialog is not there: only a click on
        // it, or Escape, stops an add.
        auto* cancelButton = new QPushButton(tr("Cancel"), progress_);
        cancelButton->setAutoDefault(false);
        cancelButton->setDefault(false);
        cancelButton->setFocusPolicy(Qt::NoFocus);
        progress_->setCancelButton(cancelButton);
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
    if (!queue_.empty())
        platform::log("adding cancelled: " + std::to_string(queue_.size()) + " of " + std::to_string(total_) +
                      " files left out");
    queue_.clear();
    updateProgress();
}

void PlaylistIntake::finish() {
    while (!queue_.empty()) takeOne();
    updateProgress();
}

}  // namespace reel
