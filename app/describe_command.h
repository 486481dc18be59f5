#pragma once

#include <string>
#include <vector>

#include "app/playlist_entry.h"

namespace reel {

struct DescribeOptions {
    bool timing = false;   // a "timing <microseconds> <path as a JSON string>" line per file on stderr
    bool verbose = false;  // keep the diagnostic log
    bool tracks = false;   // a "tracks" array after the nine keys, subtitle files beside the movie included
};

// The JSON object of one entry, keys in the playlist's order, on one line.
std::string entryJson(const EntryRecord& entry);

// The same with a "tracks" array of the entry's tracks and these ones found beside it.
std::string entryJsonWithTracks(const EntryRecord& entry, const std::vector<TrackInfo>& external);

// Prints one JSON line per described file on stdout and one line per skipped
// file on stderr. Returns 1 when any file was skipped, 0 otherwise.
int describeFiles(const std::vector<std::string>& paths, const DescribeOptions& options,
                  const MovieOpener& open);

}  // namespace reel
