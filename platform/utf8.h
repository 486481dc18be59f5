#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace reel::platform {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when the
// byte there starts none: a stray continuation byte, a sequence cut short,
// an overlong form, a surrogate or a value past Unicode.
inline std::size_t utf8Length(std::string_view text, std::size_t i) {
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
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

}  // namespace reel::platform
