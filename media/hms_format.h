#pragma once

#include <string>
#include <string_view>

// Conversions between whole seconds and "H:MM:SS" time text.
namespace reel::CLHMSFormat {

// The text read as a number of seconds (fraction dropped), as H:MM:SS.
std::string HMSFormat(std::string_view secondsText);

// H:MM:SS text back to whole seconds. Only the first three parts count;
// shorter texts are read from the right ("1:02" is 62 seconds).
int seconds(std::string_view timeText);

// "%i" of a whole number of seconds, the form HMSFormat reads.
std::string decimal(long value);

}  // namespace reel::CLHMSFormat
