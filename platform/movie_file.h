#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/toolbox.h"

namespace reel::platform {

struct OpenedMovie {
    std::shared_ptr<toolbox::MovieRecord> movie;  // null when the file could not be described
    std::string error;                            // why not, in a few words
};

// No single file may hold the player up for longer than this.
constexpr std::chrono::milliseconds kDescribeDeadline{2000};

// Inspects a movie file in place and presents it as toolbox tracks. Reads the
// container's header and index, and only a bounded part of files without one.
OpenedMovie openMovieFile(const std::string& path);

// The same for bytes in memory; nameHint's extension guides format detection.
OpenedMovie openMovieBytes(const std::uint8_t* data, std::size_t size, const std::string& nameHint);

}  // namespace reel::platform
