#pragma once

#include <functional>
#include <memory>

class QWidget;

namespace reel {

class CLMovie;

// The view a movie plays in: what the viewer and the transport ask of it.
// Made anew for every movie viewed; one that is dropped no longer plays.
class MovieView {
public:
    virtual ~MovieView() = default;

    virtual QWidget* widget() = 0;

    virtual void setMovie(std::shared_ptr<CLMovie> movie) = 0;
    virtual CLMovie* movie() const = 0;

    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
    // 1 is normal speed, 3 three times forwards, -3 three times backwards.
    // A rate other than 0 also plays a stopped movie.
    virtual float rate() const = 0;
    virtual void setRate(float rate) = 0;
    virtual void setMuted(bool muted) = 0;
    virtual void setVolume(float volume) = 0;  // 0 to 1

    virtual void setEditable(bool editable) = 0;
    virtual void showController(bool show, bool adjustingSize) = 0;
};

using MovieViewFactory = std::function<std::unique_ptr<MovieView>()>;

}  // namespace reel
