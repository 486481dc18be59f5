#include "support/log_recorder.h"

#include <utility>

#include "platform/log.h"

namespace reel::test {

LogRecorder::LogRecorder() {
    platform::setLogSink([this](std::string_view line) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    });
}

LogRecorder::~LogRecorder() { platform::setLogSink({}); }

std::vector<std::string> LogRecorder::take() {
    std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
}

int LogRecorder::count(const std::string& text) const {
    std::lock_guard lock(mutex_);
    int found = 0;
    for (const std::string& line : lines_) found += line.find(text) != std::string::npos;
    return found;
}

}  // namespace reel::test
