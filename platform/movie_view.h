#pragma once

#include <functional>
#include <memory>

#include "platform/toolbox.h"

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
    // clock; null unloads.
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
};

using MovieViewFactory = std::function<std::unique_ptr<MovieView>()>;

}  // namespace reel
