#include "app/json.h"

#include <cstdint>
#include <cstdio>

namespace reel {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0.
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    std::size_t length;
    std::uint32_t min;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0)
        length = 2, min = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, min = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, min = 0x10000;
    else
        return 0;
    if (i + length > text.size()) return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not valid.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

}  // namespace

std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    char escape[8];
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<std::uint8_t>(bytes[i]);
        const std::size_t length = utf8Length(bytes, i);
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
