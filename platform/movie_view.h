#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/toolbox.h"
#include "platform/track_info.h"

class QWidget;

namespace reel {

// The view movies play in: what the viewer and the transport ask of it. One
// view serves a whole session; each movie set on it replaces the one before,
// whose clock is retired so that its end is never reported.
class MovieView {
public:
    virtual ~MovieView() = default;

    virtual QWidget* widget() = 0;

    // Loads the movie (paused unless start() was asked for) and gives it a
    // clock, at the movie's current time; null unloads.
    virtual void setMovie(std::shared_ptr<toolbox::MovieRecord> movie) = 0;
    virtual const std::shared_ptr<toolbox::MovieRecord>& movie() const = 0;

    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
    // 1 is normal speed, 3 three times forwards, -3 three times backwards.
    // A rate other than 0 also plays a stopped movie.
    virtual float rate() const = 0;
    virtual void setRate(float rate) = 0;
    virtual void setMuted(bool muted) = 0;
    virtual void setVolume(float volume) = 0;  // 0 to 1

    // Tracks. The subtitle files and the chooser are for the movies set after
    // them; a view that plays nothing has no tracks.
    virtual void setSubtitleFiles(std::vector<SubtitleFile>) {}
    virtual void setTrackChooser(TrackChooser) {}
    virtual std::vector<TrackInfo> tracks() const { return {}; }
    // Switches track without moving the position; 0 turns subtitles off.
    virtual void selectTrack(TrackInfo::Kind, long /*id*/) {}
    // Adds a subtitle file to the movie playing and shows it.
    virtual void addSubtitleFile(const SubtitleFile&) {}
    // Called on the main thread whenever the tracks or the choice among them change.
    virtual void setTracksChanged(std::function<void()>) {}
};

using MovieViewFactory = std::function<std::unique_ptr<MovieView>()>;

}  // namespace reel
