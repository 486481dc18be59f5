#include "app/playlist_intake.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "app/json.h"
#include "platform/log.h"

namespace reel {

PlaylistIntake::PlaylistIntake(MovieOpener open, Sink sink, QObject* parent)
    : QObject(parent), open_(std::move(open)), sink_(std::move(sink)) {}

PlaylistIntake::~PlaylistIntake() { delete progress_; }

void PlaylistIntake::add(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    if (queue_.empty()) {
        total_ = done_ = 0;
        started_.start();
    }
    queue_.insert(queue_.end(), paths.begin(), paths.end());
    total_ += int(paths.size());
    if (!scheduled_) {
        scheduled_ = true;
        QTimer::singleShot(0, this, &PlaylistIntake::runSlice);
    }
}

void PlaylistIntake::takeOne() {
    const std::string path = std::move(queue_.front());
    queue_.pop_front();
    ++done_;
    const EntryOutcome outcome = buildEntry(path, open_);
    if (outcome.entry)
        sink_(std::move(*outcome.entry));
    else if (!outcome.wrongExtension)  // a name the playlist never takes is passed over quietly
        platform::log("skipped " + jsonString(path) + ": " + outcome.skipReason);
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
