#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace reel::platform {

// A settings file in the INI form QSettings reads, handled a line at a time
// so that nothing but one key's value changes: other keys, groups, comments,
// line ends and bytes that are not text at all stay as they were. A key of
// the [General] group is also one above every group header, as QSettings has it.

// The key's value in the [General] group, the last one if it is there more than once.
std::optional<std::string> iniGeneralValue(std::string_view text, std::string_view key);

// The text with the key set to the value in the [General] group: its lines
// changed in place, or else a line added at the end of the group, or else
// the group, with the key, put before everything else.
std::string withIniGeneralValue(std::string_view text, std::string_view key, std::string_view value);

}  // namespace reel::platform
