#include <gtest/gtest.h>

#include <string>

#include "media/hms_format.h"

using reel::CLHMSFormat::HMSFormat;
using reel::CLHMSFormat::seconds;

TEST(HMSFormat, SecondsTextBecomesTimeText) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"0", "0:00:00"},        {"9", "0:00:09"},        {"3599", "0:59:59"}, {"3600", "1:00:00"},
        {"360000", "100:00:00"}, {"12.9", "0:00:12"},     {"abc", "0:00:00"},  {"  42", "0:00:42"},
        {"+7", "0:00:07"},       {"5e2", "0:08:20"},      {".9", "0:00:00"},   {"1e400", "596523:14:07"},
        {"-61", "0:-1:-1"},      {"7seconds", "0:00:07"},
    };
    for (const auto& c : cases) EXPECT_EQ(HMSFormat(c.in), c.out) << "for \"" << c.in << '"';
}

TEST(HMSFormat, TimeTextBecomesSeconds) {
    const struct {
        const char* in;
        int out;
    } cases[] = {
        {"1:02:03", 3723},
        {"2:3:4:5", 7384},
        {"x:y:z", 0},
        {"1:02", 62},
        {"45", 45},
        {"-1:00:00", -3600},
        // Far past what 32 bits hold: clamped parts, wrapped sum, never a trap.
        {"99999999999:0:0", int(std::int32_t(std::uint32_t(std::int64_t(2147483647) * 3600)))},
    };
    for (const auto& c : cases) EXPECT_EQ(seconds(c.in), c.out) << "for \"" << c.in << '"';
}

TEST(HMSFormat, RoundTripsEveryWholeSecond) {
    for (int n = 0; n < 400000; n += (n < 4000 ? 1 : 97)) {
        ASSERT_EQ(seconds(HMSFormat(std::to_string(n))), n);
    }
}
