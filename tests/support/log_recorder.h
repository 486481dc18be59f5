#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace reel::test {

// Every line logged while it lives, from any thread, without its timestamp;
// the log goes back to stderr when it ends.
class LogRecorder {
public:
    LogRecorder();
    ~LogRecorder();
    // The lines so far, which are then forgotten.
    std::vector<std::string> take();
    // How many lines contain the text.
    int count(const std::string& text) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace reel::test
