#pragma once

#include <mutex>

namespace reel::platform {

// Whether mpv is paused, as the interface's thread asks and as mpv's thread hears it.
// mpv tells a change some time after it happened, and pauses by itself at a file's
// end. A report that comes while a request is still unanswered tells of a state the
// request has already replaced, and counts for nothing: otherwise the end of one
// movie could mark the next, already asked to play, as paused.
class PauseState {
public:
    // Just before the request goes to mpv.
    void asked(bool paused) {
        std::lock_guard lock(mutex_);
        ++unanswered_;
        paused_ = paused;
    }
    // mpv's answer to one request, whether it took or not.
    void answered() {
        std::lock_guard lock(mutex_);
        if (unanswered_ > 0) --unanswered_;
    }
    void reported(bool paused) {
        std::lock_guard lock(mutex_);
        if (unanswered_ == 0) paused_ = paused;
    }
    // Known without mpv saying so: nothing plays whatever was asked.
    void stopped() {
        std::lock_guard lock(mutex_);
        paused_ = true;
    }

    bool paused() const {
        std::lock_guard lock(mutex_);
        return paused_;
    }

private:
    mutable std::mutex mutex_;
    int unanswered_ = 0;
    bool paused_ = true;
};

}  // namespace reel::platform
