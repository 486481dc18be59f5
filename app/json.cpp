#include "app/json.h"

#include <cstdint>
#include <cstdio>

#include "platform/utf8.h"

namespace reel {

std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    char escape[8];
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<std::uint8_t>(bytes[i]);
        const std::size_t length = platform::utf8Length(bytes, i);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\udc%02x", c);
            out += escape;
            i += 1;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out.append(bytes.substr(i, length));
        }
        i += length;
    }
    return out + "\"";
}

}  // namespace reel
