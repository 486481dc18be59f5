#include "app/describe_command.h"

#include <chrono>
#include <cstdio>

#include "app/json.h"
#include "platform/log.h"

namespace reel {

std::string entryJson(const EntryRecord& entry) {
    std::string line = "{";
    for (const auto& [key, field] : EntryRecord::keys) {
        if (line.size() > 1) line += ",";
        line += jsonString(key) + ":" + jsonString(entry.*field);
    }
    return line + "}";
}

int describeFiles(const std::vector<std::string>& paths, const DescribeOptions& options,
                  const MovieOpener& open) {
    platform::setLogEnabled(options.verbose);
    int status = 0;
    for (const std::string& path : paths) {
        const auto started = std::chrono::steady_clock::now();
        const EntryOutcome outcome = buildEntry(path, open);
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started)
                .count();
        if (outcome.entry) {
            const std::string line = entryJson(*outcome.entry) + "\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
        } else {
            status = 1;
            std::fprintf(stderr, "reel: skipped %s: %s\n", jsonString(path).c_str(),
                         outcome.skipReason.c_str());
        }
        if (options.timing)
            std::fprintf(stderr, "timing %lld %s\n", static_cast<long long>(micros),
                         jsonString(path).c_str());
    }
    std::fflush(stdout);
    return status;
}

}  // namespace reel
