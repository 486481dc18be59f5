#pragma once

#include <string_view>

namespace reel::platform {

// The one diagnostic channel: a timestamped line on stderr.
void log(std::string_view line);

// Lets the command-line tools silence diagnostics that would drown their own output.
void setLogEnabled(bool enabled);

}  // namespace reel::platform
