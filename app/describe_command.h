#pragma once

#include <string>
#include <vector>

#include "app/playlist_entry.h"

namespace reel {

struct DescribeOptions {
    bool timing = false;   // a "timing <microseconds> <path as a JSON string>" line per file on stderr
    bool verbose = false;  // keep the diagnostic log
};

// The JSON object of one entry, keys in the playlist's order, on one line.
std::string entryJson(const EntryRecord& entry);

// Prints one JSON line per described file on stdout and one line per skipped
// file on stderr. Returns 1 when any file was skipped, 0 otherwise.
int describeFiles(const std::vector<std::string>& paths, const DescribeOptions& options,
                  const MovieOpener& open);

}  // namespace reel
