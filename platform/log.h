#pragma once

#include <functional>
#include <string_view>

namespace reel::platform {

// The one diagnostic channel: a timestamped line on stderr.
void log(std::string_view line);

// Lets the command-line tools silence diagnostics that would drown their own output.
void setLogEnabled(bool enabled);

// Where lines go instead of stderr, for whoever needs to read them back; empty restores stderr.
void setLogSink(std::function<void(std::string_view)> sink);

}  // namespace reel::platform
