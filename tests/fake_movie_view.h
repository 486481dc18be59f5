#pragma once

// A movie view that plays nothing: the transport's commands land in fields,
// and the test moves the clock and ends the movie when it likes.

#include <QWidget>
#include <memory>

#include "media/cl_movie.h"
#include "platform/movie_view.h"
#include "platform/toolbox.h"

namespace reel::fake {

class Clock : public toolbox::PlaybackClock {
public:
    toolbox::TimeValue time(toolbox::TimeScale scale) const override {
        return toolbox::TimeValue(seconds * double(scale));
    }
    void setTime(toolbox::TimeValue value, toolbox::TimeScale scale) override {
        seconds = scale > 0 ? double(value) / double(scale) : 0;
    }
    void task() override { ++tasks; }
    double seconds = 0;
    int tasks = 0;
};

class MovieView : public reel::MovieView {
public:
    QWidget* widget() override { return &widget_; }
    void setMovie(std::shared_ptr<CLMovie> movie) override {
        movie_ = std::move(movie);
        if (movie_) movie_->QTMovie()->clock = clock;
    }
    CLMovie* movie() const override { return movie_.get(); }
    void start() override { playing = true; }
    void stop() override { playing = false; }
    bool isPlaying() const override { return playing; }
    float rate() const override { return playing ? rate_ : 0.0f; }
    void setRate(float rate) override {
        rate_ = rate;
        playing = rate != 0;
    }
    void setMuted(bool muted) override { this->muted = muted; }
    void setVolume(float volume) override { this->volume = volume; }
    void setEditable(bool editable) override { this->editable = editable; }
    void showController(bool show, bool) override { controllerShown = show; }

    std::shared_ptr<Clock> clock = std::make_shared<Clock>();
    bool playing = false;
    bool muted = false;
    float volume = -1;
    bool editable = true;
    bool controllerShown = true;

private:
    QWidget widget_;
    std::shared_ptr<CLMovie> movie_;
    float rate_ = 1.0f;
};

}  // namespace reel::fake
