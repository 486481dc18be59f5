#include "media/hms_format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

namespace reel::CLHMSFormat {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    return text;
}

// Leading blanks, an optional sign, then digits up to the first non-digit;
// no digits read as 0. Clamped rather than overflowing.
std::int64_t leadingInteger(std::string_view text) {
    text = skipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = std::min<std::int64_t>(value * 10 + (c - '0'), std::numeric_limits<std::int32_t>::max());
    }
    return negative ? -value : value;
}

// Read like a floating-point number: blanks, sign, digits, fraction, exponent;
// text that does not start with a number is 0.
double leadingNumber(std::string_view text) {
    text = skipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.'))
        return 0.0;
    double value = 0.0;
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) return 0.0;
    // Out of range: from_chars leaves the value alone; treat it as huge.
    if (result.ec == std::errc::result_out_of_range) value = std::numeric_limits<double>::max();
    return negative ? -value : value;
}

}  // namespace

std::string HMSFormat(std::string_view secondsText) {
    const double value = std::trunc(leadingNumber(secondsText));
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    const int n = std::isnan(value) ? 0 : static_cast<int>(std::clamp(value, lo, hi));
    char text[48];
    std::snprintf(text, sizeof text, "%i:%02i:%02i", n / 3600, (n % 3600) / 60, n % 60);
    return text;
}

int seconds(std::string_view timeText) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t colon = timeText.find(':', start);
        parts.push_back(
            timeText.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    // Fewer than three parts are the trailing ones: "SS" or "M:SS".
    while (parts.size() < 3) parts.insert(parts.begin(), std::string_view{});
    const std::int64_t total =
        leadingInteger(parts[0]) * 3600 + leadingInteger(parts[1]) * 60 + leadingInteger(parts[2]);
    // Signed 32-bit arithmetic, wrapping as the stored type does.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(total));
}

std::string decimal(long value) { return std::to_string(value); }

}  // namespace reel::CLHMSFormat
