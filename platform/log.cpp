#include "platform/log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

namespace reel::platform {

namespace {
std::atomic<bool> enabled{true};
std::function<void(std::string_view)> sink;
}  // namespace

void setLogEnabled(bool on) { enabled = on; }

void setLogSink(std::function<void(std::string_view)> to) { sink = std::move(to); }

void log(std::string_view line) {
    if (sink) return sink(line);
    if (!enabled) return;
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&secs, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    // One fprintf per line keeps lines from different threads whole.
    std::fprintf(stderr, "%s.%03d reel: %.*s\n", stamp, static_cast<int>(millis),
                 static_cast<int>(line.size()), line.data());
}

}  // namespace reel::platform
