#pragma once

// A movie view that plays nothing: the transport's commands land in fields,
// and the test moves the clock and ends the movie when it likes. Like the
// real view, each movie set on it gets a clock of its own.

#include <QWidget>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
    void task() override {}
    double seconds = 0;
};

class MovieView : public reel::MovieView {
public:
    QWidget* widget() override { return &widget_; }
    void setMovie(std::shared_ptr<toolbox::MovieRecord> movie) override {
        if (clock) clock->retire();
        movie_ = std::move(movie);
        clock.reset();
        rate_ = 1.0f;
        if (!movie_) return;
        clock = std::make_shared<Clock>();
        // A movie set at a time other than its start plays from there, as in the real view.
        if (movie_->timeScale > 0) clock->seconds = double(movie_->currentTime) / double(movie_->timeScale);
        movie_->clock = clock;
        loaded.push_back(movie_->source);
    }
    const std::shared_ptr<toolbox::MovieRecord>& movie() const override { return movie_; }
    void start() override { playing = true; }
    void stop() override { playing = false; }
    bool isPlaying() const override { return playing; }
    float rate() const override { return playing ? rate_ : 0.0f; }
    void setRate(float rate) override {
        rate_ = rate;
        playing = rate != 0;
    }
    void setMuted(bool on) override { muted = on; }
    void setVolume(float level) override { volume = level; }

    std::shared_ptr<Clock> clock;     // the movie shown now's
    std::vector<std::string> loaded;  // every movie set, oldest first
    bool playing = false;
    bool muted = false;
    float volume = -1;

private:
    QWidget widget_;
    std::shared_ptr<toolbox::MovieRecord> movie_;
    float rate_ = 1.0f;
};

// The clock's movie plays to its end, as the player tells it: from another thread.
inline void playToEnd(const std::shared_ptr<Clock>& clock) {
    std::thread([clock] { clock->setAtStop(true); }).join();
}

}  // namespace reel::fake
