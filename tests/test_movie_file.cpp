// The FFmpeg inspector on real files, made by tests/media/make-media.sh.

#include <gtest/gtest.h>

#include <string>

#include "app/playlist_entry.h"
#include "platform/log.h"
#include "platform/movie_file.h"
#include "support/media.h"

using namespace reel;
using test::mediaPath;

namespace {

struct Expected {
    const char* file;
    const char* rate;
    const char* type;
    const char* audioType;
    const char* length;
    const char* size;
};

class MovieFile : public testing::Test {
protected:
    void SetUp() override { platform::setLogEnabled(false); }
    void TearDown() override { platform::setLogEnabled(true); }
};

}  // namespace

TEST_F(MovieFile, DescribesEveryKindOfFileTruthfully) {
    const Expected cases[] = {
        {"h264_aac_23976.mp4", "23.976", "avc1", "mp4a, Stereo, 48000 Hz", "0:00:02",
         "320x240 Aspect: 1.3333"},
        {"mpeg4_mp3.mp4", "25", "MPEG-4", "MPEG Layer-3, Stereo, 44100 Hz", "0:00:02",
         "320x240 Aspect: 1.3333"},
        {"mjpeg_ima4_2997.mov", "29.970", "jpeg", "ima4, Stereo, 48000 Hz", "0:00:02",
         "320x240 Aspect: 1.3333"},
        {"dx50_mp3.avi", "25", "DIVX-5", "MPEG Layer-3, Stereo, 44100 Hz", "0:00:02",
         "320x240 Aspect: 1.3333"},
        {"div3_pcm_mono.avi", "15", "DIVX-3", "sowt, Mono, 22050 Hz", "0:00:02", "160x120 Aspect: 1.3333"},
        {"xvid_ac3.avi", "25", "XVID", "ac-3, Stereo, 48000 Hz", "0:00:02", "320x240 Aspect: 1.3333"},
        {"mpeg1_system.mpg", "29.970", "MPEG-1", "MPEG1 Muxed", "0:00:03", "352x240 Aspect: 1.4667"},
        {"mpeg2_program.mpg", "25", "MPEG-2", "m2s ", "0:00:03", "768x576 Aspect: 1.3333"},  // 4:3
        {"pal_ac3.vob", "25", "m2v1", "ac-3, Stereo, 48000 Hz", "0:00:03", "1024x576 Aspect: 1.7778"},
        {"pal.dv", "25", "dvcp", "sowt, Stereo, 48000 Hz", "0:00:02", "768x576 Aspect: 1.3333"},
        {"elementary.mpv", "25", "m1v ", "none", "0:00:20", "352x288 Aspect: 1.2222"},
        {"audio_only.mp4", "0", "none", "mp4a, Mono, 44100 Hz", "0:00:02", "0x0 Aspect: nan"},
        {"audio_only.mov", "0", "none", "twos, Stereo, 8000 Hz", "0:00:02", "0x0 Aspect: nan"},
        {"video_only.mov", "25", "avc1", "none", "0:00:02", "640x480 Aspect: 1.3333"},
        {"long_3700s.mp4", "1", "MPEG-4", "mp4a, Mono, 8000 Hz", "1:01:40", "16x16 Aspect: 1.0000"},
        {"exact24.mp4", "24", "MPEG-4", "none", "0:00:02", "320x240 Aspect: 1.3333"},
        {"exact30.mp4", "30", "MPEG-4", "none", "0:00:02", "320x240 Aspect: 1.3333"},
        {"sixch.mov", "25", "MPEG-4", "mp4a, 6 channels, 48000 Hz", "0:00:02", "320x240 Aspect: 1.3333"},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.file);
        const EntryOutcome outcome = buildEntry(mediaPath(c.file), fileOpener());
        ASSERT_TRUE(outcome.entry) << outcome.skipReason;
        const EntryRecord& e = *outcome.entry;
        EXPECT_EQ(
            e.rate + " | " + e.type + " | " + e.audioType + " | " + e.length + " | " + e.size,
            std::string(c.rate) + " | " + c.type + " | " + c.audioType + " | " + c.length + " | " + c.size);
    }
}

TEST_F(MovieFile, TracksAsTheDescriptionsSeeThem) {
    using namespace toolbox;
    // Two sound tracks: the second, bigger one is switched off by the muxer.
    auto twoAudio = platform::openMovieFile(mediaPath("two_audio.mov"));
    ASSERT_TRUE(twoAudio.movie) << twoAudio.error;
    Movie movie = twoAudio.movie.get();
    Track first = GetMovieIndTrackType(movie, 1, SoundMediaType, movieTrackMediaType);
    Track second = GetMovieIndTrackType(movie, 2, SoundMediaType, movieTrackMediaType);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(GetTrackEnabled(first));
    EXPECT_FALSE(GetTrackEnabled(second));
    EXPECT_GT(GetTrackDataSize(second, 0, GetTrackDuration(second)),
              GetTrackDataSize(first, 0, GetTrackDuration(first)));

    // An MPEG file shows its muxed stream first, then what is in it.
    auto program = platform::openMovieFile(mediaPath("mpeg1_system.mpg"));
    ASSERT_TRUE(program.movie) << program.error;
    movie = program.movie.get();
    Track muxed = GetMovieIndTrack(movie, 1);
    ASSERT_TRUE(muxed);
    EXPECT_EQ(GetTrackMedia(muxed)->mediaType, MPEGMediaType);
    EXPECT_TRUE(GetMovieIndTrackType(movie, 1, VideoMediaType, movieTrackMediaType));
    EXPECT_TRUE(GetMovieIndTrackType(movie, 1, SoundMediaType, movieTrackMediaType));
    EXPECT_EQ(GetMovieIndTrackType(movie, 1, kCharacteristicHasVideoFrameRate, movieTrackCharacteristic),
              muxed);

    // Indexed containers count every sample: 48 frames in 2 s at 24000/1001.
    auto mp4 = platform::openMovieFile(mediaPath("h264_aac_23976.mp4"));
    ASSERT_TRUE(mp4.movie) << mp4.error;
    Track video = GetMovieIndTrackType(mp4.movie.get(), 1, VideoMediaType, movieTrackMediaType);
    ASSERT_TRUE(video);
    EXPECT_EQ(GetMediaSampleCount(GetTrackMedia(video)), 48);
    SampleDescription description{};
    GetMediaSampleDescription(GetTrackMedia(video), 1, &description);
    EXPECT_GT(description.name[0], 0) << "the compressor name is carried over";

    auto mov = platform::openMovieFile(mediaPath("mjpeg_ima4_2997.mov"));
    ASSERT_TRUE(mov.movie) << mov.error;
    video = GetMovieIndTrackType(mov.movie.get(), 1, VideoMediaType, movieTrackMediaType);
    ASSERT_TRUE(video);
    GetMediaSampleDescription(GetTrackMedia(video), 1, &description);
    EXPECT_EQ(description.vendor, FourCC("FFMP"));
}

TEST_F(MovieFile, BadInputIsSkippedWithAReason) {
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {
        {"empty.mov", "empty file"},           {"text.mov", "not a movie file"},
        {"truncated.mp4", "not a movie file"}, {"dir.avi", "is a directory"},
        {"fifo.mp4", "not a regular file"},    {"dangling.mp4", "no such file"},
        {"never-made.mp4", "no such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const EntryOutcome outcome = buildEntry(mediaPath(c.file), fileOpener());
        EXPECT_FALSE(outcome.entry);
        EXPECT_NE(outcome.skipReason.find(c.reason), std::string::npos) << outcome.skipReason;
    }
}

TEST_F(MovieFile, BytesInMemoryDescribeLikeTheFile) {
    auto fromFile = platform::openMovieFile(mediaPath("dx50_mp3.avi"));
    ASSERT_TRUE(fromFile.movie);
    const std::string bytes = test::slurp(mediaPath("dx50_mp3.avi"));
    auto fromBytes =
        platform::openMovieBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), "x.avi");
    ASSERT_TRUE(fromBytes.movie) << fromBytes.error;
    CLMovie a(fromFile.movie), b(fromBytes.movie);
    EXPECT_EQ(a.videoInfoOther(), b.videoInfoOther());
    EXPECT_EQ(a.durationString(), b.durationString());
    EXPECT_EQ(a.originalSizeToAspect(), b.originalSizeToAspect());
}
