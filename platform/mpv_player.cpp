#include "platform/mpv_player.h"

#include <mpv/client.h>

#include <QByteArray>
#include <QMetaObject>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>

#include "platform/log.h"
#include "platform/mpv_names.h"

namespace reel::platform {

// The position and end of one loaded movie, as its CLMovie sees them.
class MpvClock : public toolbox::PlaybackClock {
public:
    explicit MpvClock(MpvPlayer* player) : player_(player) {}

    toolbox::TimeValue time(toolbox::TimeScale scale) const override {
        const double at = std::max(0.0, position_.load()) * double(scale);
        return at < 2147483647.0 ? toolbox::TimeValue(at) : 2147483647;
    }
    void setTime(toolbox::TimeValue value, toolbox::TimeScale scale) override {
        if (scale <= 0) return;
        const double seconds = double(value) / double(scale);
        position_ = seconds;
        if (player_) player_->seek(seconds);
    }
    void task() override {}

    // Main thread only: the player goes away before its clocks may.
    void detach() {
        retire();
        player_ = nullptr;
    }
    void setPosition(double seconds) { position_ = seconds; }

private:
    void armedAtStop() override {
        if (player_) player_->wakeForStop();
    }

    MpvPlayer* player_;
    std::atomic<double> position_{0};
};

namespace {

// Options anyone may add for a run, "name=value,name=value": the tests play with vo=null,ao=null.
// A mistyped one is said in the log, as mpv's own command line would.
void applyOptions(mpv_handle* mpv, const QByteArray& list) {
    for (const QByteArray& pair : list.split(',')) {
        if (pair.trimmed().isEmpty()) continue;
        const qsizetype eq = pair.indexOf('=');
        if (eq <= 0) {
            log("mpv option \"" + pair.trimmed().toStdString() + "\" ignored: expected name=value");
            continue;
        }
        const QByteArray name = pair.left(eq).trimmed(), value = pair.mid(eq + 1).trimmed();
        const int error = mpv_set_option_string(mpv, name.constData(), value.constData());
        if (error < 0)
            log("mpv option " + name.toStdString() + "=" + value.toStdString() + ": " +
                mpv_error_string(error));
    }
}

// Asynchronous requests carry the name of what they ask for, so that a
// failure can say what failed. The names are the constants of mpv_names.h.
std::uint64_t tag(const char* name) { return reinterpret_cast<std::uintptr_t>(name); }
const char* tagName(std::uint64_t tag) { return tag ? reinterpret_cast<const char*>(tag) : "request"; }

}  // namespace

MpvPlayer::MpvPlayer(QObject* parent) : QObject(parent) {
    // mpv refuses to start under a locale whose decimal point is not '.'.
    std::setlocale(LC_NUMERIC, "C");
    mpv_ = mpv_create();
    if (!mpv_) {
        log("mpv could not be created");
        return;
    }
    mpv_set_option_string(mpv_, mpv::kVideoOutput, "libmpv");
    mpv_set_option_string(mpv_, mpv::kKeepOpen, "yes");
    mpv_set_option_string(mpv_, "idle", "yes");
    mpv_set_option_string(mpv_, "pause", "yes");
    mpv_set_option_string(mpv_, "osc", "no");
    mpv_set_option_string(mpv_, "terminal", "no");
    mpv_set_option_string(mpv_, "input-default-bindings", "no");
    mpv_set_option_string(mpv_, "input-vo-keyboard", "no");
    mpv_set_option_string(mpv_, "audio-client-name", "reel");
    // A player inside an application: no user scripts or stream fetchers to wait for.
    mpv_set_option_string(mpv_, "load-scripts", "no");
    mpv_set_option_string(mpv_, "ytdl", "no");
    // Decoding is in software (mpv's default); probing GPU interop only prints complaints.
    mpv_set_option_string(mpv_, "gpu-hwdec-interop", "no");
    applyOptions(mpv_, qgetenv("REEL_MPV_OPTIONS"));
    if (mpv_initialize(mpv_) < 0) {
        log("mpv could not be initialised");
        mpv_terminate_destroy(mpv_);
        mpv_ = nullptr;
        return;
    }
    char* vo = mpv_get_property_string(mpv_, mpv::kVideoOutput);
    rendersVideo_ = vo && std::string(vo) == "libmpv";
    mpv_free(vo);

    mpv_observe_property(mpv_, 0, mpv::kTimePos, MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, 0, mpv::kDuration, MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, 0, mpv::kPause, MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, 0, mpv::kEofReached, MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, 0, mpv::kVideoOutputConfigured, MPV_FORMAT_FLAG);

    backwardCheck_.setSingleShot(true);
    backwardCheck_.setInterval(kBackwardTrialMilliseconds);
    connect(&backwardCheck_, &QTimer::timeout, this, &MpvPlayer::checkBackward);
    stepTimer_.setInterval(kStepMilliseconds);
    connect(&stepTimer_, &QTimer::timeout, this, &MpvPlayer::stepBackward);

    events_ = std::thread([this] { eventLoop(); });
}

MpvPlayer::~MpvPlayer() {
    {
        std::lock_guard lock(clockMutex_);
        if (clock_) clock_->detach();
    }
    if (!mpv_) return;
    stopping_ = true;
    mpv_wakeup(mpv_);
    if (events_.joinable()) events_.join();
    mpv_terminate_destroy(mpv_);
}

std::shared_ptr<toolbox::PlaybackClock> MpvPlayer::newClock() {
    auto clock = std::make_shared<MpvClock>(this);
    std::lock_guard lock(clockMutex_);
    if (clock_) clock_->detach();
    clock_ = clock;
    return clock;
}

void MpvPlayer::load(const std::string& path) {
    position_ = 0;
    duration_ = 0;
    eof_ = false;
    forward_ = true;
    rate_ = 1.0;
    stepping_ = false;
    backwardFails_ = false;
    stepTimer_.stop();
    backwardCheck_.stop();
    if (mpv_) {
        setProperty(mpv::kPause,
                    pausedWanted_ ? "yes" : "no");  // played at once if asked before it could load
        setProperty(mpv::kPlayDirection, "forward");
        setProperty(mpv::kSpeed, "1");
        // Whatever mpv still reports of the file being replaced comes before
        // the new one starts, and is passed over until then. A file replaced
        // before it started never starts at all, so the start is told by path.
        {
            std::lock_guard lock(loadMutex_);
            requestedPath_ = path;
            starting_ = true;
        }
        const char* command[] = {mpv::kLoadFile, path.c_str(), nullptr};
        mpv_command_async(mpv_, tag(mpv::kLoadFile), command);
    }
}

void MpvPlayer::unload() {
    const char* command[] = {mpv::kStop, nullptr};
    if (mpv_) mpv_command_async(mpv_, tag(mpv::kStop), command);
}

void MpvPlayer::setProperty(const char* name, const char* value) {
    if (mpv_) mpv_set_property_async(mpv_, tag(name), name, MPV_FORMAT_STRING, &value);
}

bool MpvPlayer::playing() const { return stepping_ || (!paused_ && !(eof_ && forward_)); }

void MpvPlayer::setPaused(bool paused) {
    if (paused) {
        stepping_ = false;
        stepTimer_.stop();
        backwardCheck_.stop();
    }
    paused_ = pausedWanted_ = paused;
    setProperty(mpv::kPause, paused ? "yes" : "no");
}

void MpvPlayer::setRate(double rate) {
    if (rate == 0) {
        setPaused(true);
        return;
    }
    rate_ = rate;
    stepTimer_.stop();
    stepping_ = false;
    const std::string speed = std::to_string(std::fabs(rate));
    setProperty(mpv::kSpeed, speed.c_str());
    const bool forward = rate > 0;
    if (forward != forward_) setProperty(mpv::kPlayDirection, forward ? "forward" : "backward");
    forward_ = forward;
    backwardCheck_.stop();
    if (!forward && backwardFails_) {
        startStepping(position_);
        return;
    }
    setPaused(false);
    if (!forward) {
        // Not every file plays backwards: watch whether the position really falls.
        backwardFrom_ = position_;
        backwardTrial_.start();
        backwardCheck_.start();
    }
}

void MpvPlayer::checkBackward() {
    // A file mpv cannot demux backwards stands still, or ends at once as if at its start.
    if (forward_ || stepping_) return;
    if (position_ < backwardFrom_ - 0.1 || position_ <= 0.05)
        return;  // it works, or it is already at the start
    log("playing backwards does not work for this file; stepping back instead");
    backwardFails_ = true;
    // Carry on from where rewinding would be by now, as if it had worked from the start.
    const double trial = double(backwardTrial_.elapsed()) / 1000.0;
    startStepping(backwardFrom_ - std::fabs(rate_) * trial);
}

void MpvPlayer::startStepping(double from) {
    setProperty(mpv::kPlayDirection, "forward");
    setProperty(mpv::kPause, "yes");
    stepping_ = true;
    stepTarget_ = std::max(0.0, from) + std::fabs(rate_) * kStepMilliseconds / 1000.0;
    stepBackward();
    if (stepping_) stepTimer_.start();
}

void MpvPlayer::stepBackward() {
    stepTarget_ = std::max(0.0, stepTarget_ - std::fabs(rate_) * kStepMilliseconds / 1000.0);
    const std::string target = std::to_string(stepTarget_);
    const char* command[] = {mpv::kSeek, target.c_str(), "absolute+keyframes", nullptr};
    if (mpv_) mpv_command_async(mpv_, tag(mpv::kSeek), command);
    setPosition(stepTarget_);
    if (stepTarget_ <= 0) {
        // At the beginning rewinding stops, as backwards playback would.
        stepping_ = false;
        stepTimer_.stop();
        paused_ = true;
    }
}

void MpvPlayer::setMuted(bool muted) {
    muted_ = muted;
    setProperty(mpv::kMute, muted ? "yes" : "no");
}

void MpvPlayer::setVolume(double percent) {
    const std::string value = std::to_string(std::clamp(percent, 0.0, 100.0));
    setProperty(mpv::kVolume, value.c_str());
}

void MpvPlayer::seek(double seconds) {
    seconds = std::max(0.0, seconds);
    setPosition(seconds);
    stepTarget_ = seconds;
    const std::string target = std::to_string(seconds);
    const char* command[] = {mpv::kSeek, target.c_str(), "absolute+exact", nullptr};
    if (mpv_) mpv_command_async(mpv_, tag(mpv::kSeek), command);
}

void MpvPlayer::setPosition(double seconds) {
    position_ = seconds;
    std::lock_guard lock(clockMutex_);
    if (clock_) clock_->setPosition(seconds);
}

void MpvPlayer::wakeForStop() {
    restateStop_ = true;
    if (mpv_) mpv_wakeup(mpv_);
}

// ---- mpv's thread

void MpvPlayer::eventLoop() {
    while (!stopping_) {
        const mpv_event* event = mpv_wait_event(mpv_, -1);
        if (stopping_ || event->event_id == MPV_EVENT_SHUTDOWN) break;
        if (event->event_id != MPV_EVENT_NONE) handleEvent(*event);
        if (restateStop_.exchange(false) && eof_ && forward_) atEnd(true);
    }
}

void MpvPlayer::handleEvent(const mpv_event& event) {
    // Until the file loaded last has started, what mpv says is of the one before.
    const bool stale = starting_;
    switch (event.event_id) {
        case MPV_EVENT_START_FILE:
            if (stale) noteStart();
            break;
        case MPV_EVENT_COMMAND_REPLY:
        case MPV_EVENT_SET_PROPERTY_REPLY:
            if (event.error >= 0) break;
            log(std::string("mpv: ") + tagName(event.reply_userdata) + ": " + mpv_error_string(event.error));
            if (tagName(event.reply_userdata) == mpv::kLoadFile) {
                // No file starts: it counts as played, as one that fails later does.
                starting_ = false;
                endedInError();
            }
            break;
        case MPV_EVENT_PROPERTY_CHANGE: {
            if (stale) break;
            const auto* property = static_cast<const mpv_event_property*>(event.data);
            const std::string name = property->name;
            if (property->format == MPV_FORMAT_DOUBLE) {
                const double value = *static_cast<const double*>(property->data);
                if (name == mpv::kTimePos && !stepping_) {
                    setPosition(value);
                } else if (name == mpv::kDuration) {
                    duration_ = value;
                }
            } else if (property->format == MPV_FORMAT_FLAG) {
                const bool value = *static_cast<const int*>(property->data) != 0;
                if (name == mpv::kPause && !stepping_) paused_ = value;
                if (name == mpv::kVideoOutputConfigured) videoOutputOpen_ = value;
                if (name == mpv::kEofReached) {
                    eof_ = value;
                    // Only playing forwards ends a movie; reaching its start does not.
                    atEnd(value && forward_);
                }
            }
            break;
        }
        case MPV_EVENT_END_FILE: {
            const auto* end = static_cast<const mpv_event_end_file*>(event.data);
            if (end->reason == MPV_END_FILE_REASON_ERROR && !stale) {
                // A file mpv cannot play counts as played: the playlist goes on.
                log(std::string("mpv could not play the file: ") + mpv_error_string(end->error));
                endedInError();
            }
            break;
        }
        case MPV_EVENT_FILE_LOADED:
            if (!stale) QMetaObject::invokeMethod(this, &MpvPlayer::fileLoaded, Qt::QueuedConnection);
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            if (!stale) QMetaObject::invokeMethod(this, &MpvPlayer::playbackRestarted, Qt::QueuedConnection);
            break;
        default:
            break;
    }
}

void MpvPlayer::noteStart() {
    char* path = mpv_get_property_string(mpv_, mpv::kPath);
    {
        std::lock_guard lock(loadMutex_);
        if (path && requestedPath_ == path) starting_ = false;
    }
    mpv_free(path);
}

void MpvPlayer::endedInError() {
    eof_ = true;
    paused_ = true;
    atEnd(true);
}

void MpvPlayer::atEnd(bool atEnd) {
    std::shared_ptr<MpvClock> clock;
    {
        std::lock_guard lock(clockMutex_);
        clock = clock_;
    }
    if (clock) clock->setAtStop(atEnd);
}

}  // namespace reel::platform
