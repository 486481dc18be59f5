#pragma once

#include <string>
#include <string_view>

namespace reel {

// A JSON string literal for arbitrary bytes. Valid UTF-8 passes through;
// each byte that is not is written as a lone surrogate \udcXX, the escape
// that Python's surrogateescape and similar tools turn back into the byte,
// so file names that are not UTF-8 survive the round trip.
std::string jsonString(std::string_view bytes);

}  // namespace reel
