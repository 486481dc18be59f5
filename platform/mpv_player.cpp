#include "platform/mpv_player.h"

#include <mpv/client.h>

#include <QByteArray>
#include <QMetaObject>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <string_view>

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

const mpv_node* entry(const mpv_node& map, std::string_view key) {
    if (map.format != MPV_FORMAT_NODE_MAP) return nullptr;
    for (int i = 0; i < map.u.list->num; ++i)
        if (key == map.u.list->keys[i]) return &map.u.list->values[i];
    return nullptr;
}
std::string text(const mpv_node& map, std::string_view key) {
    const mpv_node* value = entry(map, key);
    return value && value->format == MPV_FORMAT_STRING ? value->u.string : "";
}
long long number(const mpv_node& map, std::string_view key) {
    const mpv_node* value = entry(map, key);
    return value && value->format == MPV_FORMAT_INT64 ? value->u.int64 : 0;
}
bool flag(const mpv_node& map, std::string_view key) {
    const mpv_node* value = entry(map, key);
    return value && value->format == MPV_FORMAT_FLAG && value->u.flag;
}

// mpv's track-list: its sound and subtitle tracks. External files are named
// as the finder named them, which mpv does not know.
std::vector<TrackInfo> tracksFrom(const mpv_node& list, const std::vector<SubtitleFile>& files) {
    std::vector<TrackInfo> tracks;
    if (list.format != MPV_FORMAT_NODE_ARRAY) return tracks;
    for (int i = 0; i < list.u.list->num; ++i) {
        const mpv_node& track = list.u.list->values[i];
        const std::string type = text(track, "type");
        if (type != "audio" && type != "sub") continue;
        TrackInfo info;
        info.kind = type == "audio" ? TrackInfo::Kind::Audio : TrackInfo::Kind::Subtitle;
        info.id = long(number(track, "id"));
        info.language = text(track, "lang");
        info.title = text(track, "title");
        info.codec = text(track, "codec");
        info.channels = int(number(track, "demux-channel-count"));
        info.external = flag(track, "external");
        info.path = text(track, "external-filename");
        info.isDefault = flag(track, "default");
        info.forced = flag(track, "forced");
        info.selected = flag(track, "selected");
        for (const SubtitleFile& file : files) {
            if (!info.external || file.path != info.path) continue;
            if (info.language.empty()) info.language = file.language;
            info.title = file.label == file.language ? std::string() : file.label;
            info.forced = info.forced || file.forced;
        }
        tracks.push_back(std::move(info));
    }
    return tracks;
}

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
    // Frames are drawn on the interface's thread: mpv hands each one over at its
    // display time instead of early, so drawing never waits there for that time.
    mpv_set_option_string(mpv_, "video-timing-offset", "0");
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
    // Subtitle files come from the player's own finder, so that what plays is what the panel lists.
    mpv_set_option_string(mpv_, mpv::kSubtitlesAutoload, "no");
    // Text in another encoding than UTF-8 is recognised (by uchardet) and converted.
    mpv_set_option_string(mpv_, mpv::kSubtitleCodepage, "auto");
    // Where the picture is letterboxed, subtitles of every kind may use the bands.
    mpv_set_option_string(mpv_, mpv::kSubtitleMargins, "yes");
    mpv_set_option_string(mpv_, mpv::kAssMargins, "yes");
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
    mpv_observe_property(mpv_, 0, mpv::kTrackList, MPV_FORMAT_NODE);
    mpv_hook_add(mpv_, 0, mpv::kPreloadedHook, 0);

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

std::shared_ptr<toolbox::PlaybackClock> MpvPlayer::newClock(double startSeconds) {
    auto clock = std::make_shared<MpvClock>(this);
    clock->setPosition(std::max(0.0, startSeconds));
    std::lock_guard lock(clockMutex_);
    if (clock_) clock_->detach();
    clock_ = clock;
    return clock;
}

void MpvPlayer::load(const std::string& path, double startSeconds) {
    startSeconds = std::isfinite(startSeconds) ? std::max(0.0, startSeconds) : 0.0;
    position_ = startSeconds;
    duration_ = 0;
    eof_ = false;
    forward_ = true;
    rate_ = 1.0;
    stepping_ = false;
    backwardFails_ = false;
    stepTimer_.stop();
    backwardCheck_.stop();
    if (mpv_) {
        askPause(pausedWanted_);  // played at once if asked before it could load
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
        {
            std::lock_guard lock(tracksMutex_);
            loadedSubtitles_ = std::move(subtitleFiles_);
            subtitleFiles_.clear();
            tracks_.clear();
        }
        if (startSeconds <= 0) {
            const char* command[] = {mpv::kLoadFile, path.c_str(), nullptr};
            mpv_command_async(mpv_, tag(mpv::kLoadFile), command);
            return;
        }
        // The file opens at that time rather than being sought once it has
        // loaded: mpv drops a seek sent while the file still loads. Named
        // arguments read the same whichever mpv places "options" where.
        const std::string options = "start=" + std::to_string(startSeconds);
        mpv_node values[] = {{}, {}, {}};
        const char* keys[] = {"name", "url", "options"};
        const char* texts[] = {mpv::kLoadFile, path.c_str(), options.c_str()};
        for (int i = 0; i < 3; ++i) {
            values[i].format = MPV_FORMAT_STRING;
            values[i].u.string = const_cast<char*>(texts[i]);
        }
        mpv_node_list map{3, values, const_cast<char**>(keys)};
        mpv_node command{};
        command.format = MPV_FORMAT_NODE_MAP;
        command.u.list = &map;
        mpv_command_node_async(mpv_, tag(mpv::kLoadFile), &command);
    }
}

void MpvPlayer::unload() {
    const char* command[] = {mpv::kStop, nullptr};
    if (mpv_) mpv_command_async(mpv_, tag(mpv::kStop), command);
}

void MpvPlayer::setProperty(const char* name, const char* value) {
    if (mpv_) mpv_set_property_async(mpv_, tag(name), name, MPV_FORMAT_STRING, &value);
}

void MpvPlayer::askPause(bool paused) {
    pause_.asked(paused);
    setProperty(mpv::kPause, paused ? "yes" : "no");
}

bool MpvPlayer::playing() const { return stepping_ || (!pause_.paused() && !(eof_ && forward_)); }

void MpvPlayer::setPaused(bool paused) {
    if (paused) {
        stepping_ = false;
        stepTimer_.stop();
        backwardCheck_.stop();
    }
    pausedWanted_ = paused;
    askPause(paused);
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
    askPause(true);
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
        pause_.stopped();
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

void MpvPlayer::setSubtitleFiles(std::vector<SubtitleFile> files) {
    std::lock_guard lock(tracksMutex_);
    subtitleFiles_ = std::move(files);
}

void MpvPlayer::setTrackChooser(TrackChooser chooser) {
    std::lock_guard lock(tracksMutex_);
    chooser_ = std::move(chooser);
}

std::vector<TrackInfo> MpvPlayer::tracks() const {
    std::lock_guard lock(tracksMutex_);
    return tracks_;
}

void MpvPlayer::selectTrack(TrackInfo::Kind kind, long id) {
    const std::string value = id > 0 ? std::to_string(id) : "no";
    setProperty(kind == TrackInfo::Kind::Audio ? mpv::kAudioTrack : mpv::kSubtitleTrack, value.c_str());
}

void MpvPlayer::addSubtitle(const SubtitleFile& file) {
    {
        std::lock_guard lock(tracksMutex_);
        loadedSubtitles_.push_back(file);
    }
    const char* command[] = {mpv::kSubtitleAdd, file.path.c_str(), "select", nullptr};
    if (mpv_) mpv_command_async(mpv_, tag(mpv::kSubtitleAdd), command);
}

std::string MpvPlayer::propertyText(const char* name) const {
    if (!mpv_) return {};
    char* value = mpv_get_property_string(mpv_, name);
    std::string result = value ? value : "";
    mpv_free(value);
    return result;
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
            if (event.event_id == MPV_EVENT_SET_PROPERTY_REPLY &&
                tagName(event.reply_userdata) == mpv::kPause)
                pause_.answered();
            if (event.error >= 0) break;
            log(std::string("mpv: ") + tagName(event.reply_userdata) + ": " + mpv_error_string(event.error));
            if (tagName(event.reply_userdata) == mpv::kLoadFile) {
                // No file starts: it counts as played, as one that fails later does.
                starting_ = false;
                endedInError();
            }
            break;
        case MPV_EVENT_HOOK:
            chooseTracks(static_cast<const mpv_event_hook*>(event.data)->id);
            break;
        case MPV_EVENT_PROPERTY_CHANGE: {
            if (stale) break;
            const auto* property = static_cast<const mpv_event_property*>(event.data);
            const std::string name = property->name;
            if (name == mpv::kTrackList && property->format == MPV_FORMAT_NODE) {
                {
                    std::lock_guard lock(tracksMutex_);
                    tracks_ = tracksFrom(*static_cast<const mpv_node*>(property->data), loadedSubtitles_);
                }
                QMetaObject::invokeMethod(this, &MpvPlayer::tracksChanged, Qt::QueuedConnection);
                break;
            }
            if (property->format == MPV_FORMAT_DOUBLE) {
                const double value = *static_cast<const double*>(property->data);
                if (name == mpv::kTimePos && !stepping_) {
                    setPosition(value);
                } else if (name == mpv::kDuration) {
                    duration_ = value;
                }
            } else if (property->format == MPV_FORMAT_FLAG) {
                const bool value = *static_cast<const int*>(property->data) != 0;
                if (name == mpv::kPause && !stepping_) pause_.reported(value);
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

std::vector<TrackInfo> MpvPlayer::readTracks() {
    mpv_node list;
    if (mpv_get_property(mpv_, mpv::kTrackList, MPV_FORMAT_NODE, &list) < 0) return {};
    std::vector<TrackInfo> tracks;
    {
        std::lock_guard lock(tracksMutex_);
        tracks = tracksFrom(list, loadedSubtitles_);
    }
    mpv_free_node_contents(&list);
    return tracks;
}

// The file is open and its tracks known, none chosen yet: the subtitle files
// join it and the chooser picks, so that the movie starts with its tracks.
void MpvPlayer::chooseTracks(std::uint64_t hookId) {
    std::vector<SubtitleFile> files;
    TrackChooser chooser;
    {
        std::lock_guard lock(tracksMutex_);
        files = loadedSubtitles_;
        chooser = chooser_;
    }
    for (const SubtitleFile& file : files) {
        const char* command[] = {mpv::kSubtitleAdd, file.path.c_str(), "auto", nullptr};
        const int error = mpv_command(mpv_, command);
        // The movie plays on without it.
        if (error < 0) log("subtitle file " + file.path + " could not be read: " + mpv_error_string(error));
    }
    if (chooser) {
        const TrackChoice choice = chooser(readTracks());
        if (choice.audio) {
            const std::string id = *choice.audio > 0 ? std::to_string(*choice.audio) : "no";
            mpv_set_property_string(mpv_, mpv::kAudioTrack, id.c_str());
        }
        if (choice.subtitle) {
            const std::string id = *choice.subtitle > 0 ? std::to_string(*choice.subtitle) : "no";
            mpv_set_property_string(mpv_, mpv::kSubtitleTrack, id.c_str());
        }
    }
    mpv_hook_continue(mpv_, hookId);
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
    pause_.stopped();
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
