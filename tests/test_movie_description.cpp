#include <gtest/gtest.h>

#include <limits>

#include "support/fake_toolbox.h"
#include "support/log_recorder.h"

using namespace reel;
using namespace reel::toolbox;

TEST(MovieTiming, WholeSecondsAndText) {
    CLMovie movie(fake::movie({}, 0, 0, 5999, 600));
    EXPECT_EQ(movie.durationSecondsString(), "9");
    EXPECT_EQ(movie.durationString(), "0:00:09");

    CLMovie longMovie(fake::movie({}, 0, 0, 600 * 5400, 600));
    longMovie.setMovieAtTime(83);
    EXPECT_EQ(longMovie.time(), 83 * 600);
    EXPECT_EQ(longMovie.currentTime(), "0:01:23");
    EXPECT_EQ(longMovie.durationString(), "1:30:00");

    CLMovie tenSeconds(fake::movie({}, 0, 0, 60000, 600));
    tenSeconds.setMovieAtTime(std::numeric_limits<long>::max());  // clamped to the end, no overflow
    EXPECT_EQ(tenSeconds.time(), 60000);
}

TEST(MovieTiming, ZeroTimeScaleGivesNeutralValues) {
    CLMovie movie(fake::movie({}, 0, 0, 5999, 0));
    EXPECT_EQ(movie.durationString(), "0:00:00");
    movie.setMovieAtTime(10);
    EXPECT_EQ(movie.currentTime(), "0:00:00");
}

TEST(PictureSize, SizeWithAspect) {
    const struct {
        Rect bounds;
        const char* text;
    } cases[] = {
        {{0, 0, 480, 640}, "640x480 Aspect: 1.3333"},   {{0, 0, 576, 1024}, "1024x576 Aspect: 1.7778"},
        {{10, 20, 250, 340}, "320x240 Aspect: 1.3333"}, {{0, 0, 0, 0}, "0x0 Aspect: nan"},
        {{0, 0, 0, 320}, "320x0 Aspect: inf"},
    };
    for (const auto& c : cases) {
        auto record = fake::movie({});
        record->naturalBounds = c.bounds;
        CLMovie movie(record);
        EXPECT_EQ(movie.originalSizeToAspect(), c.text) << c.text;
    }
}

TEST(PictureSize, StandardSizeFollowsTheFrameRate) {
    const auto at = [](int width, int height, long samples) {
        // 10 s of media at time scale 600: the sample count sets the rate.
        return fake::clMovie({fake::video({.samples = samples, .scale = 600, .mediaDuration = 6000})}, width,
                             height)
            .size();
    };
    EXPECT_EQ(at(640, 480, 250), "720x576");
    EXPECT_EQ(at(640, 480, 300), "720x480");
    EXPECT_EQ(at(640, 480, 0), "720x480");
    EXPECT_EQ(at(320, 240, 250), "352x288");
    EXPECT_EQ(at(480, 360, 150), "480x480");
    EXPECT_EQ(at(704, 576, 250), "704x576");
}

TEST(PictureSize, BiggestTrack) {
    auto equal = fake::movie(
        {fake::sound({.code = "aaaa", .bytes = 500}), fake::sound({.code = "bbbb", .bytes = 500})});
    EXPECT_EQ(GetBiggestTrack(equal.get(), SoundMediaType), &equal->tracks[0]);
    auto empty = fake::movie({fake::sound({.bytes = 0}), fake::sound({.bytes = 0})});
    EXPECT_EQ(GetBiggestTrack(empty.get(), SoundMediaType), nullptr);
    EXPECT_EQ(GetBiggestTrack(nullptr, SoundMediaType), nullptr);
    // Sizes past 32 bits still compare as sizes.
    auto huge = fake::movie({fake::video({.bytes = 5'000'000'000}), fake::video({.bytes = 3'000'000'000})});
    EXPECT_EQ(GetBiggestTrack(huge.get(), VideoMediaType), &huge->tracks[0]);
}

TEST(FrameRate, FromSampleTiming) {
    const struct {
        long samples;
        TimeScale scale;
        TimeValue duration;
        const char* text;
    } cases[] = {{240, 24000, 240240, "23.976"},
                 {300, 30000, 300300, "29.970"},
                 {48, 600, 1200, "24"},
                 {750, 600, 18000, "25"},
                 {599, 600, 600, "599"},
                 {47, 600, 1200, "24"},  // 23.5 is not an NTSC rate
                 {100, 600, 0, "0"},     // samples without a duration
                 {0, 600, 6000, "0"}};
    for (const auto& c : cases) {
        CLMovie movie = fake::clMovie(
            {fake::video({.samples = c.samples, .scale = c.scale, .mediaDuration = c.duration})});
        EXPECT_EQ(movie.getNewFps(), c.text)
            << c.samples << " samples at " << c.scale << " over " << c.duration;
    }
}

TEST(FrameRate, FromTheMpegStream) {
    const struct {
        TrackRecord track;
        const char* text;
    } cases[] = {{fake::mpeg({.rate = 25.0}), "25"},
                 {fake::mpeg({.rate = 24000.0 / 1001}), "23.976"},
                 {fake::mpeg({.rate = 30000.0 / 1001}), "29.970"},
                 {fake::mpeg({.hasRate = false}), "0"},
                 {fake::sound({}), "0"}};
    for (const auto& c : cases) EXPECT_EQ(fake::clMovie({c.track}).getNewFps(), c.text) << c.text;
    EXPECT_EQ(fake::clMovie({}).getNewFps(), "0");
}

TEST(FrameRate, CountsSamplesOverFiveSeconds) {
    // 20 s at 25 fps; the window opens on a sample at 10 s and closes on one at 15 s.
    auto record = fake::movie({fake::video({.samples = 500, .duration = 12000})}, 640, 480, 12000);
    EXPECT_EQ(CLMovie(record).fps(), "25");
    EXPECT_EQ(fake::clMovie({fake::sound({})}).fps(), "0");
}

TEST(VideoFormat, NamesTheLargestEnabledTrack) {
    const struct {
        std::vector<TrackRecord> tracks;
        const char* name;
    } cases[] = {
        {{fake::video({.code = "mp4v"})}, "MPEG-4"},
        {{fake::video({.code = "SVQ3"})}, "Sorenson 3"},
        {{fake::video({.code = "cvid"})}, "cvid"},
        {{fake::video({.code = "SVQ3", .bytes = 1000}), fake::video({.code = "DIV3", .bytes = 2000})},
         "DIVX-3"},
        {{fake::video({.code = "SVQ3", .bytes = 2000}), fake::video({.code = "DIV3", .bytes = 2000})},
         "Sorenson 3"},
        {{fake::video({.code = "SVQ3", .enabled = false}), fake::mpeg({.code = "m1s "})}, "MPEG-1"},
        {{fake::video({.code = "SVQ3", .enabled = false})}, "none"},
        {{fake::video({.code = "SVQ3", .bytes = 0})}, "none"},
        {{fake::sound({})}, "none"},
        {{fake::video({.code = "m2v\0"})}, "m2v"},
        {{fake::video({.code = "A\0BC"})}, "A"},  // the code ends at its first zero
    };
    for (const auto& c : cases) EXPECT_EQ(fake::clMovie(c.tracks).videoInfoOther(), c.name) << c.name;
}

TEST(VideoFormat, MpegHandlerName) {
    const struct {
        std::string creator;
        const char* name;
    } cases[] = {{"Reel MPEG Media Handler", "MPEG-1"},
                 {"Reel Video Media Handler", "Video"},
                 {"Reel MPEG-2 Media Handler", "MPEG-2"},
                 {"Single", "none"},
                 {"", "none"},
                 {"Two  Blanks", "none"}};
    for (const auto& c : cases)
        EXPECT_EQ(fake::clMovie({fake::mpeg({.creator = c.creator})}).videoInfoMPG(), c.name) << c.creator;
    EXPECT_EQ(fake::clMovie({}).videoInfoMPG(), "none");
}

TEST(AudioFormat, DescribesTheLargestSoundTrack) {
    const struct {
        std::vector<TrackRecord> tracks;
        const char* text;
    } cases[] = {
        {{fake::sound({.code = ".mp3", .channels = 2, .rate = 44100})}, "MPEG Layer-3, Stereo, 44100 Hz"},
        {{fake::sound({.code = "QDM2", .channels = 1, .rate = 22050})}, "QDesign Music, Mono, 22050 Hz"},
        {{fake::sound({.code = "mp4a", .channels = 6, .rate = 48000})}, "mp4a, 6 channels, 48000 Hz"},
        {{fake::sound({.code = "raw ", .channels = 1, .rate = 22254.5454})}, "raw , Mono, 22254 Hz"},
        {{fake::sound({.code = "aaaa", .bytes = 100 << 10}),
          fake::sound({.code = "bbbb", .bytes = 900 << 10, .enabled = false})},
         "bbbb, Stereo, 44100 Hz"},
        {{fake::video({})}, "none"},
        {{}, "none"},
    };
    test::LogRecorder quiet;
    for (const auto& c : cases) EXPECT_EQ(fake::clMovie(c.tracks).audioType(), c.text) << c.text;
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
        {"no tracks",
         {},
         {"vCodec: ", "vFourCC: ", "vVendor: ", "Bitrate: 0", "aChannels: 0", "sampleRate: 0",
          "aCodec: ", "aBitrate: 0"}},
    };
    test::LogRecorder log;
    for (const auto& c : cases) {
        fake::clMovie(c.tracks).audioType();
        EXPECT_EQ(log.take(), c.lines) << c.what;
    }
}

TEST(AudioFormat, MpegStreamFormat) {
    EXPECT_EQ(fake::clMovie({fake::mpeg({.code = "m1s "})}).audioTypeMPG(), "MPEG1 Muxed");
    EXPECT_EQ(fake::clMovie({fake::mpeg({.code = "m1v "})}).audioTypeMPG(), "m1v ");
    EXPECT_EQ(
        fake::clMovie({fake::mpeg({.code = "m1s ", .bytes = 10}), fake::mpeg({.code = "m2s ", .bytes = 20})})
            .audioTypeMPG(),
        "m2s ");
    EXPECT_EQ(fake::clMovie({fake::video({})}).audioTypeMPG(), "Unknown");
}
