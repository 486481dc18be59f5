// The FFmpeg inspector on real files, made by tests/media/make-media.sh.

#include <gtest/gtest.h>

#include <string>

#include "app/playlist_entry.h"
#include "support/log_recorder.h"
#include "support/media.h"

using namespace reel;
using test::mediaPath;

TEST(MovieFile, DescribesEveryKindOfFileTruthfully) {
    test::LogRecorder quiet;
    const struct {
        const char *file, *rate, *type, *audioType, *length, *size;
    } cases[] = {
        {"h264_aac_23976.mp4", "23.976", "avc1", "mp4a, Stereo, 48000 Hz", "0:00:02",
         "320x240 Aspect: 1.3333"},
        {"mjpeg_ima4_2997.mov", "29.970", "jpeg", "ima4, Stereo, 48000 Hz", "0:00:02",
         "320x240 Aspect: 1.3333"},
        {"dx50_mp3.avi", "25", "DIVX-5", "MPEG Layer-3, Stereo, 44100 Hz", "0:00:02",
         "320x240 Aspect: 1.3333"},
        {"div3_pcm_mono.avi", "15", "DIVX-3", "sowt, Mono, 22050 Hz", "0:00:02", "160x120 Aspect: 1.3333"},
        {"mpeg1_system.mpg", "29.970", "MPEG-1", "MPEG1 Muxed", "0:00:03", "352x240 Aspect: 1.4667"},
        {"mpeg2_program.mpg", "25", "MPEG-2", "m2s ", "0:00:03", "768x576 Aspect: 1.3333"},  // 4:3
        {"pal_ac3.vob", "25", "m2v1", "ac-3, Stereo, 48000 Hz", "0:00:03", "1024x576 Aspect: 1.7778"},
        {"pal.dv", "25", "dvcp", "sowt, Stereo, 48000 Hz", "0:00:02", "768x576 Aspect: 1.3333"},
        {"elementary.mpv", "25", "m1v ", "none", "0:00:20", "352x288 Aspect: 1.2222"},
        {"audio_only.mp4", "0", "none", "mp4a, Mono, 44100 Hz", "0:00:02", "0x0 Aspect: nan"},
        {"video_only.mov", "25", "avc1", "none", "0:00:02", "640x480 Aspect: 1.3333"},
        {"long_3700s.mp4", "1", "MPEG-4", "mp4a, Mono, 8000 Hz", "1:01:40", "16x16 Aspect: 1.0000"},
        {"exact24.mp4", "24", "MPEG-4", "none", "0:00:02", "320x240 Aspect: 1.3333"},
        {"sixch.mov", "25", "MPEG-4", "mp4a, 6 channels, 48000 Hz", "0:00:02", "320x240 Aspect: 1.3333"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const EntryOutcome outcome = buildEntry(mediaPath(c.file), fileOpener());
        ASSERT_TRUE(outcome.entry) << outcome.skipReason;
        const EntryRecord& e = *outcome.entry;
        EXPECT_EQ(
            e.rate + " | " + e.type + " | " + e.audioType + " | " + e.length + " | " + e.size,
            std::string(c.rate) + " | " + c.type + " | " + c.audioType + " | " + c.length + " | " + c.size);
    }
}

TEST(MovieFile, BadInputIsSkippedWithAReason) {
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {
        {"empty.mov", "empty file"},           {"text.mov", "not a movie file"},
        {"truncated.mp4", "not a movie file"}, {"dir.avi", "is a directory"},
        {"fifo.mp4", "not a regular file"},    {"dangling.mp4", "no such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const EntryOutcome outcome = buildEntry(mediaPath(c.file), fileOpener());
        EXPECT_FALSE(outcome.entry);
        EXPECT_NE(outcome.skipReason.find(c.reason), std::string::npos) << outcome.skipReason;
    }
}
