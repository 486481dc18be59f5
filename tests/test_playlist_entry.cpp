#include <gtest/gtest.h>

#include "app/json.h"
#include "app/playlist_entry.h"
#include "support/fake_toolbox.h"

using namespace reel;

// MPEG files are described as their muxed stream, the rest by their tracks;
// a name without an accepted extension is never opened. PAL is 25 frames a second, nothing else.
TEST(PlaylistEntry, ExtensionDecidesWhetherAndHowAndTheRateTheStandard) {
    int opened = 0;
    double rate = 0;
    // A muxed MPEG track first, then its video, so both ways of describing have something to say.
    const MovieOpener open = [&](const std::string&, std::string*) {
        ++opened;
        return std::make_unique<CLMovie>(
            fake::movie({fake::mpeg({.creator = "Reel MPEG Media Handler", .rate = rate}),
                         fake::video({.code = "m1v "})}));
    };
    const struct {
        const char* path;
        double rate;
        const char* typeAndStandard;
    } cases[] = {
        {"/m/clip.mpg", 25.0, "MPEG-1 PAL"},
        {"/m/clip.MPEG", 30000.0 / 1001, "MPEG-1 NTSC"},
        {"/m/clip.Mov", 24.0, "m1v  NTSC"},
        {"/m/x.y/clip.MpV", 50.0, "m1v  NTSC"},
    };
    for (const auto& c : cases) {
        rate = c.rate;
        const EntryOutcome outcome = buildEntry(c.path, open);
        ASSERT_TRUE(outcome.entry) << c.path;
        EXPECT_EQ(outcome.entry->type + " " + outcome.entry->standard, c.typeAndStandard);
    }
    EXPECT_EQ(opened, 4);
    for (const char* path : {"/m/clip.mkv", "/m/clip", "/m/x.avi/clip", "/m/.mov", "/m/clip.mp4.txt"}) {
        const EntryOutcome outcome = buildEntry(path, open);
        EXPECT_TRUE(!outcome.entry && outcome.wrongExtension) << path;
    }
    EXPECT_EQ(opened, 4) << "a name without an accepted extension was opened";
}

// Names are bytes: what is not UTF-8 comes out as lone surrogates, never as another character.
TEST(DescribeOutput, JsonKeepsEveryByte) {
    const struct {
        std::string bytes;
        const char* json;
    } cases[] = {
        {"/m/\"q\" \\ \x01\xff\xc3\xa9.mp4", R"("/m/\"q\" \\ \u0001\udcffé.mp4")"},
        {"\xc0\xaf", R"("\udcc0\udcaf")"},             // overlong
        {"\xed\xa0\x80", R"("\udced\udca0\udc80")"},   // a surrogate
        {"\xe2\x82", R"("\udce2\udc82")"},             // cut short
        {"\xf0\x9f\x8e\xac", "\"\xf0\x9f\x8e\xac\""},  // four bytes, one character
    };
    for (const auto& c : cases) EXPECT_EQ(jsonString(c.bytes), c.json);
}
