#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/pause_state.h"
#include "platform/toolbox.h"
#include "platform/track_info.h"

struct mpv_handle;
struct mpv_event;

namespace reel::platform {

class MpvClock;

// One mpv core playing one movie at a time, for the whole session: each file
// loaded replaces the one before. It owns the handle and a thread
// that waits for mpv's events: the state it observes is kept for the main
// thread to read, the moments the view waits for reach it by queued signals,
// and the end of a movie is told to its clock right there, on that thread,
// as the movie toolbox tells its callbacks.
class MpvPlayer : public QObject {
    Q_OBJECT
public:
    explicit MpvPlayer(QObject* parent = nullptr);
    ~MpvPlayer() override;

    bool valid() const { return mpv_ != nullptr; }
    mpv_handle* handle() const { return mpv_; }
    // With vo=libmpv the picture comes through a render context someone must make.
    bool rendersVideo() const { return rendersVideo_; }

    // A clock for the next file loaded, reading startSeconds until it plays;
    // the previous file's clock is retired and never calls back again.
    std::shared_ptr<toolbox::PlaybackClock> newClock(double startSeconds = 0);
    // Loads a file for the newest clock, paused unless playing was asked for,
    // at startSeconds into it.
    void load(const std::string& path, double startSeconds = 0);

    void setPaused(bool paused);
    bool playing() const;
    double rate() const { return rate_; }
    void setRate(double rate);
    void setMuted(bool muted);
    bool muted() const { return muted_; }
    void setVolume(double percent);
    double position() const { return position_; }
    // Ends the file; the core stays, with nothing loaded.
    void unload();
    // mpv's video output holds the render context.
    bool videoOutputOpen() const { return videoOutputOpen_; }
    double duration() const { return duration_; }
    void seek(double seconds);

    // How far backwards playback is left to prove itself before stepping takes over.
    static constexpr int kBackwardTrialMilliseconds = 400;
    static constexpr int kStepMilliseconds = 100;

    // Tracks. The subtitle files and the chooser hold for the files loaded
    // after they are set; the chooser runs on mpv's thread as each file opens.
    void setSubtitleFiles(std::vector<SubtitleFile> files);
    void setTrackChooser(TrackChooser chooser);
    // The playing file's tracks, as last told by mpv.
    std::vector<TrackInfo> tracks() const;
    // A track by its id, or none (0); the movie plays on where it is.
    void selectTrack(TrackInfo::Kind kind, long id);
    // Adds a subtitle file to the playing movie and shows it.
    void addSubtitle(const SubtitleFile& file);
    // A string property as mpv has it now, empty when it has none.
    std::string propertyText(const char* name) const;

signals:
    void fileLoaded();
    void playbackRestarted();
    void tracksChanged();

private:
    friend class MpvClock;
    void eventLoop();
    void handleEvent(const mpv_event& event);
    void atEnd(bool atEnd);
    void endedInError();
    void noteStart();
    void wakeForStop();
    void checkBackward();
    void stepBackward();
    void startStepping(double from);
    void setProperty(const char* name, const char* value);
    void askPause(bool paused);
    void setPosition(double seconds);
    void chooseTracks(std::uint64_t hookId);
    std::vector<TrackInfo> readTracks();

    mpv_handle* mpv_ = nullptr;
    bool rendersVideo_ = false;
    std::thread events_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> restateStop_{false};

    std::mutex clockMutex_;
    std::shared_ptr<MpvClock> clock_;

    std::atomic<double> position_{0};
    std::atomic<double> duration_{0};
    PauseState pause_;
    bool pausedWanted_ = true;  // as last asked on the main thread, for a file loaded later
    std::atomic<bool> eof_{false};
    std::mutex loadMutex_;
    std::string requestedPath_;          // the file loaded last
    std::atomic<bool> starting_{false};  // ... which mpv has not started yet
    std::atomic<bool> videoOutputOpen_{false};
    std::atomic<bool> forward_{true};
    std::atomic<double> rate_{1.0};
    bool muted_ = false;

    mutable std::mutex tracksMutex_;
    std::vector<TrackInfo> tracks_;
    std::vector<SubtitleFile> subtitleFiles_;    // for the next file loaded ...
    std::vector<SubtitleFile> loadedSubtitles_;  // ... and for the one loaded last
    TrackChooser chooser_;

    // Rewinding: mpv plays backwards where it can; elsewhere timed seeks step back.
    QTimer backwardCheck_;
    QTimer stepTimer_;
    double backwardFrom_ = 0;
    QElapsedTimer backwardTrial_;
    bool backwardFails_ = false;  // learnt once per file
    double stepTarget_ = 0;
    std::atomic<bool> stepping_{false};
};

}  // namespace reel::platform
