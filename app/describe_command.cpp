#include "app/describe_command.h"

#include <chrono>
#include <cstdio>

#include "app/json.h"
#include "media/subtitle_finder.h"
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

std::string entryJsonWithTracks(const EntryRecord& entry, const std::vector<TrackInfo>& external) {
    std::string line = entryJson(entry);
    line.pop_back();
    line += ",\"tracks\":[";
    bool first = true;
    auto add = [&](const TrackInfo& track) {
        if (!first) line += ",";
        first = false;
        line += "{\"kind\":" + jsonString(track.kind == TrackInfo::Kind::Audio ? "audio" : "subtitle");
        line += ",\"language\":" + jsonString(track.language) + ",\"title\":" + jsonString(track.title);
        line += ",\"codec\":" + jsonString(track.codec);
        if (track.kind == TrackInfo::Kind::Audio) line += ",\"channels\":" + std::to_string(track.channels);
        line += std::string(",\"external\":") + (track.external ? "true" : "false");
        if (track.external) line += ",\"path\":" + jsonString(track.path);
        line += "}";
    };
    for (const TrackInfo& track : entry.tracks) add(track);
    for (const TrackInfo& track : external) add(track);
    return line + "]}";
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
            std::string line;
            if (options.tracks) {
                std::vector<TrackInfo> external;
                for (const SubtitleFile& file : findSubtitles(path)) external.push_back(externalTrack(file));
                line = entryJsonWithTracks(*outcome.entry, external);
            } else {
                line = entryJson(*outcome.entry);
            }
            line += "\n";
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
