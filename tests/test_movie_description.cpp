// The descriptions on hand-built layouts no encoder makes; common files are in test_movie_file.

#include <gtest/gtest.h>

#include <limits>

#include "support/fake_toolbox.h"
#include "support/log_recorder.h"

using namespace reel;
using namespace reel::toolbox;

TEST(MovieTiming, WholeSecondsClampsAndZeroTimeScale) {
    CLMovie movie(fake::movie({}, 0, 0, 5999, 600));
    EXPECT_EQ(movie.durationSecondsString(), "9");
    EXPECT_EQ(movie.durationString(), "0:00:09");

    CLMovie tenSeconds(fake::movie({}, 0, 0, 60000, 600));
    tenSeconds.setMovieAtTime(std::numeric_limits<long>::max());  // clamped to the end, no overflow
    EXPECT_EQ(tenSeconds.time(), 60000);

    CLMovie noScale(fake::movie({}, 0, 0, 5999, 0));
    EXPECT_EQ(noScale.durationString(), "0:00:00");
    noScale.setMovieAtTime(10);
    EXPECT_EQ(noScale.currentTime(), "0:00:00");
}

// Of several tracks the largest holding data (and enabled, for the picture); the rate from the
// sample timing or from the MPEG stream; the codec named from its code or the MPEG handler.
// The movie answers these too, though nothing in the player asks for them yet.
TEST(PictureSize, StandardSizeFollowsTheFrameRateAndFpsCountsFiveSeconds) {
    const auto at = [](int width, int height, long samples) {
        // 10 s of media at time scale 600: the sample count sets the rate.
        return fake::clMovie({fake::video({.samples = samples, .mediaDuration = 6000})}, width, height)
            .size();
    };
    EXPECT_EQ(at(640, 480, 250), "720x576");
    EXPECT_EQ(at(640, 480, 0), "720x480");
    EXPECT_EQ(at(320, 240, 250), "352x288");
    EXPECT_EQ(at(480, 360, 150), "480x480");
    EXPECT_EQ(at(704, 576, 250), "704x576");
    // 20 s at 25 fps; the window opens on a sample at 10 s and closes on one at 15 s.
    auto record = fake::movie({fake::video({.samples = 500, .duration = 12000})}, 640, 480, 12000);
    EXPECT_EQ(CLMovie(record).fps(), "25");
    EXPECT_EQ(fake::clMovie({fake::sound({})}).fps(), "0");
}

TEST(Description, RateCodecsAndSoundOfOddLayouts) {
    using Query = std::string (CLMovie::*)() const;
    const Query rate = &CLMovie::getNewFps, video = &CLMovie::videoInfoOther, mpeg = &CLMovie::videoInfoMPG,
                sound = &CLMovie::audioType, mpegSound = &CLMovie::audioTypeMPG;
    const auto svq3 = [](std::int64_t bytes) { return fake::video({.code = "SVQ3", .bytes = bytes}); };
    const auto div3 = [](std::int64_t bytes) { return fake::video({.code = "DIV3", .bytes = bytes}); };
    const struct {
        std::vector<TrackRecord> tracks;
        Query query;
        const char* text;
    } cases[] = {
        {{fake::video({.samples = 47, .mediaDuration = 1200})}, rate, "24"},  // 23.5 is not NTSC
        {{fake::video({.samples = 100, .mediaDuration = 0})}, rate, "0"},
        {{fake::video({.samples = 0, .mediaDuration = 6000})}, rate, "0"},
        {{fake::mpeg({.hasRate = false})}, rate, "0"},
        {{svq3(1000), div3(2000)}, video, "DIVX-3"},
        {{svq3(2000), div3(2000)}, video, "Sorenson 3"},
        {{svq3(5'000'000'000), div3(3'000'000'000)}, video, "Sorenson 3"},  // sizes past 32 bits
        {{fake::video({.code = "SVQ3", .enabled = false}), fake::mpeg({.code = "m1s "})}, video, "MPEG-1"},
        {{fake::video({.code = "SVQ3", .enabled = false})}, video, "none"},
        {{fake::video({.code = "SVQ3", .bytes = 0})}, video, "none"},
        {{fake::video({.code = "A\0BC"})}, video, "A"},  // the code ends at its first zero
        {{fake::mpeg({.creator = "Reel Video Media Handler"})}, mpeg, "Video"},
        {{fake::mpeg({.creator = "Single"})}, mpeg, "none"},
        {{fake::mpeg({.creator = "Two  Blanks"})}, mpeg, "none"},
        {{}, mpeg, "none"},
        {{fake::sound({.code = "aaaa", .bytes = 100 << 10}),
          fake::sound({.code = "bbbb", .bytes = 900 << 10, .enabled = false})},
         sound,
         "bbbb, Stereo, 44100 Hz"},
        {{}, sound, "none"},
        {{fake::mpeg({.code = "m1s ", .bytes = 10}), fake::mpeg({.code = "m2s ", .bytes = 20})},
         mpegSound,
         "m2s "},
        {{fake::video({})}, mpegSound, "Unknown"},
    };
    test::LogRecorder quiet;
    for (const auto& c : cases)
        EXPECT_EQ((fake::clMovie(c.tracks).*c.query)(), c.text) << "case " << &c - cases;
    EXPECT_EQ(GetBiggestTrack(nullptr, SoundMediaType), nullptr);
}

TEST(AudioFormat, LogsEightLinesInOrderWithoutDividingByZeroOrOverflowing) {
    const struct {
        const char* what;
        std::vector<TrackRecord> tracks;
        std::vector<std::string> lines;
    } cases[] = {
        {"H.264 and AAC",
         {fake::video({.code = "avc1", .bytes = 10'240'000, .compressor = "H.264", .vendor = "appl"}),
          fake::sound(
              {.code = "mp4a", .bytes = 1'048'576, .channels = 2, .rate = 48000, .duration = 64 * 600})},
         {"vCodec: H.264", "vFourCC: avc1", "vVendor: appl", "Bitrate: 1000", "aChannels: 2",
          "sampleRate: 48000", "aCodec: mp4a", "aBitrate: 128"}},
        // Under a second long, and over 256 MiB of sound.
        {"short, with a huge sound track",
         {fake::video({.bytes = 5000, .duration = 300}),
          fake::sound({.bytes = 300LL << 20, .duration = 600 * 100})},
         {"vCodec: ", "vFourCC: avc1", "vVendor: ", "Bitrate: 0", "aChannels: 2", "sampleRate: 44100",
          "aCodec: .mp3", "aBitrate: " + std::to_string((300LL << 20) * 8 / 100 / 1024)}},
    };
    test::LogRecorder log;
    for (const auto& c : cases) {
        fake::clMovie(c.tracks).audioType();
        EXPECT_EQ(log.take(), c.lines) << c.what;
    }
}
