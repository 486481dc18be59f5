#include <gtest/gtest.h>

#include "app/describe_command.h"
#include "app/json.h"
#include "app/playlist_entry.h"
#include "support/fake_toolbox.h"

using namespace reel;

namespace {

// Every path opens as the same PAL MPEG-1 layout: a muxed track first, then
// its elementary video and sound, so both description paths have something to say.
MovieOpener palMpegOpener(int* opened = nullptr) {
    return [opened](const std::string&, std::string*) {
        if (opened) ++*opened;
        auto record =
            fake::movie({fake::mpeg({.code = "m1s ", .creator = "Reel MPEG Media Handler", .rate = 25.0}),
                         fake::video({.code = "m1v ", .samples = 250, .scale = 25, .mediaDuration = 250}),
                         fake::sound({.code = ".mp2", .channels = 2, .rate = 44100})},
                        352, 288, 6000);
        return std::make_unique<CLMovie>(record);
    };
}

}  // namespace

// MPEG files are described as their muxed stream, the rest by their tracks;
// a name without an accepted extension is never opened.
TEST(PlaylistEntry, ExtensionDecidesWhetherAndHow) {
    const struct {
        const char* path;
        const char* type;
        const char* audioType;
    } cases[] = {
        {"/m/clip.mpg", "MPEG-1", "MPEG1 Muxed"},
        {"/m/clip.MPEG", "MPEG-1", "MPEG1 Muxed"},
        {"/m/clip.Mov", "m1v ", ".mp2, Stereo, 44100 Hz"},
        {"/m/clip.vob", "m1v ", ".mp2, Stereo, 44100 Hz"},
        {"/m/clip.dv", "m1v ", ".mp2, Stereo, 44100 Hz"},
        {"/m/x.y/clip.MpV", "m1v ", ".mp2, Stereo, 44100 Hz"},
        {"/m/clip.mkv", nullptr, nullptr},
        {"/m/clip", nullptr, nullptr},
        {"/m/x.avi/clip", nullptr, nullptr},
        {"/m/.mov", nullptr, nullptr},
        {"/m/clip.bin", nullptr, nullptr},
        {"/m/clip.mp4.txt", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        int opened = 0;
        const EntryOutcome outcome = buildEntry(c.path, palMpegOpener(&opened));
        ASSERT_EQ(outcome.entry.has_value(), c.type != nullptr);
        EXPECT_EQ(opened, c.type ? 1 : 0);
        EXPECT_EQ(outcome.wrongExtension, !c.type);
        if (!c.type) continue;
        EXPECT_EQ(outcome.entry->type, c.type);
        EXPECT_EQ(outcome.entry->audioType, c.audioType);
        EXPECT_EQ(outcome.entry->standard, "PAL");
    }
}

TEST(PlaylistEntry, StandardIsPalOnlyForTwentyFive) {
    for (const double rate : {30000.0 / 1001, 24000.0 / 1001, 30.0, 50.0, 24.0}) {
        const MovieOpener open = [rate](const std::string&, std::string*) {
            return std::make_unique<CLMovie>(fake::movie({fake::mpeg({.rate = rate})}));
        };
        EXPECT_EQ(buildEntry("a.mov", open).entry->standard, "NTSC") << rate;
    }
}

TEST(PlaylistEntry, FileThatCannotBeOpenedIsSkippedWithItsReason) {
    const MovieOpener refuse = [](const std::string&, std::string* whyNot) {
        *whyNot = "no such file";
        return std::unique_ptr<CLMovie>();
    };
    const EntryOutcome outcome = buildEntry("gone.mp4", refuse);
    EXPECT_FALSE(outcome.entry);
    EXPECT_FALSE(outcome.wrongExtension);
    EXPECT_EQ(outcome.skipReason, "no such file");
}

TEST(DescribeOutput, JsonKeepsKeyOrderAndEveryByte) {
    EntryRecord e{"25",
                  "/m/\"q\" \\ \x01\xff\xc3\xa9.mp4",
                  "PAL",
                  "MPEG-4",
                  "none",
                  "0:00:01",
                  "1",
                  "1x1 Aspect: 1.0000",
                  "1x1 Aspect: 1.0000"};
    EXPECT_EQ(entryJson(e),
              R"({"rate":"25","name":"/m/\"q\" \\ \u0001\udcffé.mp4","standard":"PAL","type":"MPEG-4",)"
              R"("audioType":"none","length":"0:00:01","seconds":"1","size":"1x1 Aspect: 1.0000",)"
              R"("originalSize":"1x1 Aspect: 1.0000"})");
    // Overlong, surrogate and truncated sequences are bytes, not characters.
    EXPECT_EQ(jsonString("\xc0\xaf"), R"("\udcc0\udcaf")");
    EXPECT_EQ(jsonString("\xed\xa0\x80"), R"("\udced\udca0\udc80")");
    EXPECT_EQ(jsonString("\xe2\x82"), R"("\udce2\udc82")");
    EXPECT_EQ(jsonString("\xf0\x9f\x8e\xac"), "\"\xf0\x9f\x8e\xac\"");
}
