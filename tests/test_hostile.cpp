// Files made to hold the describer up or to mislead it: each is described or skipped, in time.

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "app/playlist_entry.h"
#include "platform/movie_file.h"
#include "platform/toolbox.h"
#include "support/log_recorder.h"
#include "support/media.h"

using namespace reel;
namespace fs = std::filesystem;

namespace {

using test::mediaPath;
using test::slurp;
using test::spit;

// A file that holds the describer up past its deadline shows in the reason, whatever the machine's speed.
EntryOutcome describe(const std::string& path) {
    EntryOutcome outcome = buildEntry(path, fileOpener());
    EXPECT_EQ(outcome.skipReason.find("gave up"), std::string::npos) << path;
    return outcome;
}

// ---- QuickTime boxes, and real movies whose header (after their samples) is rewritten

std::string u32(std::uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
std::uint32_t u32At(const std::string& bytes, std::size_t at) {
    return std::uint32_t(std::uint8_t(bytes[at])) << 24 | std::uint32_t(std::uint8_t(bytes[at + 1])) << 16 |
           std::uint32_t(std::uint8_t(bytes[at + 2])) << 8 | std::uint8_t(bytes[at + 3]);
}

std::string box(const char* type, const std::string& payload) {
    return u32(std::uint32_t(8 + payload.size())) + type + payload;
}
std::string fullBox(const char* type, std::uint32_t flags, const std::string& payload) {
    return box(type, u32(flags) + payload);
}

// The H.264 movie's (reordered) video track given a million-entry edit list in place of its own;
// squeezed, the whole header then goes through zlib into a 'cmov' box, as QuickTime 3 wrote them.
std::string withMillionEdits(bool squeezed) {
    std::string mp4 = slurp(mediaPath("h264_aac_23976.mp4")), entries;
    for (int i = 0; i < 1'000'000; ++i) entries += u32(1) + u32(0) + u32(0x10000);
    const std::string edts = box("edts", fullBox("elst", 0, u32(1'000'000) + entries));
    const std::size_t moov = mp4.find("moov") - 4, trak = mp4.find("trak", moov) - 4;
    mp4.insert(mp4.find("mdia", trak) - 4, edts);
    for (const std::size_t at : {moov, trak})
        mp4.replace(at, 4, u32(u32At(mp4, at) + std::uint32_t(edts.size())));
    if (!squeezed) return mp4;
    const std::string header = mp4.substr(moov);
    uLongf size = compressBound(uLong(header.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(header.data()),
              uLong(header.size()), Z_BEST_SPEED);
    packed.resize(size);
    const std::string cmvd = box("cmvd", u32(std::uint32_t(header.size())) + packed);
    return mp4.substr(0, moov) + box("moov", box("cmov", box("dcom", "zlib") + cmvd));
}

// 80 million one-byte samples in the first chunk: an index of 2 GB asked for by a few changed bytes.
std::string withClaimedSamples() {
    std::string mov = slurp(mediaPath("mjpeg_ima4_2997.mov"));
    const std::size_t trak = mov.find("trak", mov.find("moov"));
    const auto set = [&mov, trak](const char* table, std::size_t offset, std::uint32_t value) {
        mov.replace(mov.find(table, trak) + offset, 4, u32(value));
    };
    set("stts", 12, 80'000'000);  // the first run of sample times
    set("stsc", 16, 80'000'000);  // samples in the first chunk
    set("stsz", 8, 1);            // every sample's size ...
    set("stsz", 12, 80'000'000);  // ... and their count
    return mov;
}

// Each segment index points a little further back: FFmpeg keeps them in order, inserting every one.
std::string segmentIndexes(std::uint32_t count) {
    // Version 0, track 1, time scale, first time, offset from here, one reference.
    std::string sidx = fullBox(
        "sidx", 0, u32(1) + u32(1000) + u32(0) + u32(0) + u32(1) + u32(10) + u32(10) + u32(0x90000000));
    std::string indexes;
    for (std::uint32_t i = 0; i < count; ++i) {
        sidx.replace(24, 4, u32(100'000'000 - 100 * i));
        indexes += sidx;
    }
    return indexes;
}

// ---- Matroska, named as a movie the playlist takes

// An EBML element with its size in eight bytes, which EBML allows for any size.
std::string ebml(const std::string& id, const std::string& payload) {
    std::string size(8, '\0');
    size[0] = '\x01';
    for (int i = 0; i < 7; ++i) size[std::size_t(7 - i)] = char(payload.size() >> (8 * i));
    return id + size + payload;
}

std::string ebmlUint(const std::string& id, std::uint32_t v) { return id + "\x84" + u32(v); }

// clip.mkv with an element of the segment put before its first cluster; empty if it is laid out otherwise.
std::string matroskaWith(const std::string& element) {
    const std::string mkv = slurp(mediaPath("clip.mkv"));
    const std::size_t cluster = mkv.find("\x1F\x43\xB6\x75");
    const std::size_t segment = mkv.find("\x18\x53\x80\x67");
    if (cluster == std::string::npos || segment == std::string::npos || mkv[segment + 4] != '\x01') return {};
    std::string file = mkv.substr(0, cluster) + element + mkv.substr(cluster);
    // The segment grew: its size, in eight bytes, is made unknown rather than mended.
    file.replace(segment + 4, 8, std::string("\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8));
    return file;
}

// Cue points (by time) or chapters (by number) last to first: FFmpeg looks through all before each.
std::string matroskaInReverse(bool chapters) {
    const std::uint32_t count = 100'000;
    std::string entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (chapters)  // number falling, start time rising (FFmpeg keeps only rising starts)
            entries += ebml("\xB6", ebmlUint("\x73\xC4", count - i) + ebmlUint("\x91", 1000 * (i + 1)));
        else
            entries += ebml("\xBB", ebmlUint("\xB3", count - i) +
                                        ebml("\xB7", ebmlUint("\xF7", 1) + ebmlUint("\xF1", 1000 + i)));
    }
    return matroskaWith(chapters ? ebml("\x10\x43\xA7\x70", ebml("\x45\xB9", entries))
                                 : ebml("\x1C\x53\xBB\x6B", entries));
}

// ---- Ogg Opus with chapters in its comments, last to first

std::string u32le(std::uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// Ogg's page checksum: CRC-32 on 0x04C11DB7, most significant bit first, from zero.
std::uint32_t oggCrc(const std::string& page) {
    std::uint32_t crc = 0;
    for (const unsigned char c : page) {
        crc ^= std::uint32_t(c) << 24;
        for (int k = 0; k < 8; ++k) crc = (crc & 0x80000000) ? (crc << 1) ^ 0x04C11DB7 : crc << 1;
    }
    return crc;
}

// One packet (under 64 KB) as one Ogg page of stream 1.
std::string oggPage(const std::string& packet, std::uint32_t page) {
    // Lacing: 255-byte segments, ended by a shorter one (zero bytes if need be).
    const std::string lacing = std::string(packet.size() / 255, '\xFF') + char(packet.size() % 255);
    std::string bytes = std::string("OggS\0", 5) + char(page == 0 ? 2 : 0) + std::string(8, '\0') + u32le(1) +
                        u32le(page) + u32le(0) + char(lacing.size()) + lacing + packet;
    bytes.replace(22, 4, u32le(oggCrc(bytes)));
    return bytes;
}

std::string oggChaptersInReverse() {
    const std::uint32_t count = 2'000;
    std::string tags = std::string("OpusTags") + u32le(4) + "reel" + u32le(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string comment = "CHAPTER" + std::to_string(count - i) + "=00:00:01.000";
        tags += u32le(std::uint32_t(comment.size())) + comment;
    }
    // Version 1, two channels, 312 samples of pre-skip, 48 kHz, no gain, no channel map.
    const std::string head =
        std::string("OpusHead\x01\x02", 10) + "\x38\x01" + u32le(48000) + std::string(3, '\0');
    return oggPage(head, 0) + oggPage(tags, 1);
}

class Hostile : public testing::Test {
protected:
    Hostile() { fs::create_directories(dir_); }
    ~Hostile() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    const std::string dir_ = testing::TempDir() + "reel-hostile-" + std::to_string(::getpid());
    test::LogRecorder quiet_;
};

// The video (or every) track's first sample claims over a gigabyte, as a constant size or first entry.
std::string withHugeSample(std::string mp4, bool videoOnly, bool constant) {
    std::size_t at = videoOnly ? mp4.find("vide", mp4.find("moov")) : 0;
    for (at = mp4.find("stsz", at); at != std::string::npos; at = mp4.find("stsz", at + 4)) {
        mp4.replace(at + (constant ? 8 : 16), 4, u32(0x40000001));
        if (videoOnly) break;
    }
    return mp4;
}

}  // namespace

// A download that reserved its whole size reads as its start: each demuxer stops short of the zeroes.
TEST_F(Hostile, RealStartThenGigabytesOfZeroesIsDescribed) {
    const struct {
        const char* file;
        bool sameType;
    } cases[] = {
        // A program stream's length comes from its last time stamp, which zeroes lack: no track is left.
        {"mpeg2_program.mpg", false}, {"pal_ac3.vob", false}, {"pal.dv", true},
        {"elementary.mpv", true},     {"dx50_mp3.avi", true}, {"h264_aac_23976.mp4", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const EntryOutcome whole = buildEntry(mediaPath(c.file), fileOpener());
        const std::string file = path(c.file);
        fs::copy_file(mediaPath(c.file), file);
        fs::resize_file(file, std::uintmax_t(8) << 30);  // a hole: nothing stored, zeroes read
        const EntryOutcome run = describe(file);
        ASSERT_TRUE(run.entry && whole.entry) << run.skipReason;
        EXPECT_EQ(run.entry->size, whole.entry->size);
        EXPECT_TRUE(!c.sameType || run.entry->type == whole.entry->type) << run.entry->type;
    }
}

// Described (at the sample description's size, whatever the tables claim) or refused with its reason.
TEST_F(Hostile, CraftedFilesAreDescribedOrRefused) {
    const char* const kSize = "320x240 Aspect: 1.3333";
    const struct {
        const char* what;
        std::function<std::string()> bytes;
        bool described;
        const char* sizeOrReason;
    } cases[] = {
        {"80M samples of one byte", withClaimedSamples, true, kSize},
        {"a million edits of reordered pictures", [] { return withMillionEdits(false); }, true, kSize},
        // The edit list comes out of zlib, past anything that watches the file's bytes.
        {"a compressed million edits", [] { return withMillionEdits(true); }, true, kSize},
        {"200,000 segment indexes",
         [] { return slurp(mediaPath("h264_aac_23976.mp4")) + segmentIndexes(200'000); }, false,
         "segment indexes"},
        {"Matroska cue points in reverse", [] { return matroskaInReverse(false); }, true, ""},
        {"Matroska chapters in reverse", [] { return matroskaInReverse(true); }, false, ""},
        {"Ogg chapters in reverse", oggChaptersInReverse, false, "chapters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = c.bytes();
        ASSERT_FALSE(bytes.empty()) << "clip.mkv is not laid out as expected";
        spit(path("crafted.mp4"), bytes);  // named as a movie the playlist takes
        const EntryOutcome run = describe(path("crafted.mp4"));
        ASSERT_EQ(bool(run.entry), c.described) << run.skipReason;
        const std::string& said = c.described ? run.entry->size : run.skipReason;
        EXPECT_NE(said.find(c.sizeOrReason), std::string::npos) << said;
    }
}

// 9e12 seconds at 2 GHz: FFmpeg passes both on, and their product is past what 64 bits hold.
TEST_F(Hostile, ImpossibleLengthAndSampleRateStayInRange) {
    std::string mkv = slurp(mediaPath("clip.mkv"));
    const auto setDouble = [&mkv](const std::string& element, double value) {
        const std::size_t at = mkv.find(element);
        ASSERT_NE(at, std::string::npos);
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 8; ++i) mkv[at + element.size() + std::size_t(i)] = char(bits >> (56 - 8 * i));
    };
    setDouble(std::string("\x44\x89\x88", 3), 9e15);  // segment duration, in milliseconds
    setDouble(std::string("\xB5\x88", 2), 2e9);       // sampling frequency
    const std::string file = path("impossible.mp4");
    spit(file, mkv);

    const platform::OpenedMovie opened = platform::openMovieFile(file);
    ASSERT_TRUE(opened.movie) << opened.error;
    using namespace toolbox;
    Track sound = GetMovieIndTrackType(opened.movie.get(), 1, SoundMediaType, movieTrackMediaType);
    ASSERT_TRUE(sound);
    EXPECT_GT(GetMediaDuration(GetTrackMedia(sound)), 0) << "an overflowed length came out as nothing";
    EXPECT_TRUE(describe(file).entry);
}

// An AVI without its end index, or sample sizes past what FFmpeg indexes: the streams still tell the
// movie as the whole file does. Absurd header fields still leave the codec showing.
TEST_F(Hostile, DamagedCopiesOfRealMoviesAreDescribedFromTheirStreams) {
    const auto cutShort = [](std::string& bytes) { bytes.resize(bytes.size() - 12000); };
    const auto huge = [](bool videoOnly, bool constant) {
        return [=](std::string& bytes) { bytes = withHugeSample(bytes, videoOnly, constant); };
    };
    const auto absurdAvi = [](std::string& avi) {
        const auto patch32 = [&avi](const char* tag, std::size_t offset, std::uint32_t value) {
            const std::size_t at = avi.find(tag);
            ASSERT_NE(at, std::string::npos) << tag;
            for (int i = 0; i < 4; ++i) avi[at + offset + std::size_t(i)] = char(value >> (8 * i));
        };
        patch32("avih", 8 + 16, 0xFFFFFFFF);  // total frames
        patch32("strh", 8 + 20, 1);           // time scale of a tick ...
        patch32("strh", 8 + 24, 0xFFFFFFFF);  // ... and ticks a second
        patch32("strh", 8 + 32, 0xFFFFFFFF);  // length
        patch32("strf", 8 + 4, 0x7FFFFFFF);   // picture width
        patch32("idx1", 8 + 12, 0xFFFFFFFF);  // first chunk's size
    };
    const auto hugePictures = [](std::string& mpeg) {  // every sequence header says 4095x4095
        const std::string sequence("\x00\x00\x01\xB3", 4);
        for (std::size_t at = mpeg.find(sequence); at != std::string::npos; at = mpeg.find(sequence, at + 4))
            mpeg.replace(at + 4, 3, "\xFF\xFF\xFF");
    };
    const struct {
        const char* what;
        const char* source;
        std::function<void(std::string&)> damage;
        const char* type;  // none: as the whole file is described
    } cases[] = {
        {"AVI without its end", "dx50_mp3.avi", cutShort, nullptr},
        {"AVI at 15 fps with PCM sound, without its end", "div3_pcm_mono.avi", cutShort, nullptr},
        {"H.264 whose first picture claims a gigabyte", "h264_aac_23976.mp4", huge(true, false), nullptr},
        {"H.264 whose pictures all claim a gigabyte", "h264_aac_23976.mp4", huge(true, true), nullptr},
        {"every track's samples claim a gigabyte", "h264_aac_23976.mp4", huge(false, true), nullptr},
        {"absurd AVI header fields", "dx50_mp3.avi", absurdAvi, "DIVX-5"},
        {"4095x4095 MPEG pictures", "mpeg2_program.mpg", hugePictures, "MPEG-2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = slurp(mediaPath(c.source));
        c.damage(bytes);
        const std::string file = path("damaged" + fs::path(c.source).extension().string());
        spit(file, bytes);
        const EntryOutcome run = describe(file), whole = buildEntry(mediaPath(c.source), fileOpener());
        ASSERT_TRUE(run.entry && whole.entry) << run.skipReason;
        const EntryRecord &e = *run.entry, &w = *whole.entry;
        if (c.type) {
            EXPECT_EQ(e.type, c.type);
            continue;
        }
        EXPECT_EQ(e.type + " " + e.rate + " " + e.audioType + " " + e.size,
                  w.type + " " + w.rate + " " + w.audioType + " " + w.size);
        EXPECT_NE(e.seconds, "0");
    }
}

// An MPEG start, then a whole MP4 in which the demuxer finds start codes but no whole stream headers.
TEST_F(Hostile, MpegWithNoWholeStreamIsSkipped) {
    const std::string vob = slurp(mediaPath("pal_ac3.vob")).substr(0, 188);
    const std::string program = slurp(mediaPath("mpeg2_program.mpg")).substr(0, 188);
    const struct {
        const std::string& start;
        const char* rest;
    } cases[] = {
        {vob, "exact24.mp4"},        {vob, "long_3700s.mp4"},  {vob, "audio_only.mp4"},
        {program, "sixch.mov"},      {program, "exact24.mp4"}, {program, "mpeg4_mp3.mp4"},
        {program, "long_3700s.mp4"},
    };
    for (const auto& c : cases) {
        for (const char* ext : {"mpg", "vob"}) {
            SCOPED_TRACE(std::string(c.rest) + " as ." + ext + (&c.start == &vob ? " after a VOB" : ""));
            const std::string file = path(std::string("mixed.") + ext);
            spit(file, c.start + slurp(mediaPath(c.rest)));
            const EntryOutcome run = describe(file);
            EXPECT_FALSE(run.entry) << "described as type " << (run.entry ? run.entry->type : "");
            EXPECT_EQ(run.skipReason, "no audio or video in it");
        }
    }
}
