// `reel --describe` as a user runs it: a process, arguments, two streams and an exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/media.h"

namespace {

using reel::test::mediaPath;
using reel::test::slurp;

struct Result {
    int status = -1;
    std::string out, err;
};

// Through the shell, each argument quoted as it is, so that names reach reel byte for byte.
Result runReel(std::vector<std::string> args) {
    const char* binary = std::getenv("REEL_BINARY");
    args.insert(args.begin(), binary ? binary : "reel");
    std::string command;
    for (std::string arg : args) {
        for (std::size_t at = arg.find('\''); at != std::string::npos; at = arg.find('\'', at + 4))
            arg.replace(at, 1, "'\\''");
        command += " '" + arg + "'";
    }
    const std::string out = testing::TempDir() + "reel-out", err = testing::TempDir() + "reel-err";
    const int status = std::system((command + " </dev/null >" + out + " 2>" + err).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

long countLines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

}  // namespace

TEST(DescribeCommand, GoodFilesComeOutAndBadOnesAreNamed) {
    const Result run = runReel({"--describe", mediaPath("mpeg4_mp3.mp4"), mediaPath("empty.mov"),
                                mediaPath("dir.avi"), mediaPath("fifo.mp4"), mediaPath("clip.mkv"),
                                mediaPath("noext"), mediaPath("dx50_mp3.avi")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(countLines(run.out), 2) << run.out;
    EXPECT_EQ(countLines(run.err), 5) << run.err;
    // Each good file in order, as the playlist's record, its keys in their order.
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              R"({"rate":"25","name":")" + mediaPath("mpeg4_mp3.mp4") +
                  R"(","standard":"PAL","type":"MPEG-4","audioType":"MPEG Layer-3, Stereo, 44100 Hz",)"
                  R"("length":"0:00:02","seconds":"2","size":"320x240 Aspect: 1.3333",)"
                  R"("originalSize":"320x240 Aspect: 1.3333"})");
    for (const char* skipped : {"empty.mov", "dir.avi", "fifo.mp4", "clip.mkv", "noext"})
        EXPECT_NE(run.err.find(skipped), std::string::npos) << skipped;
}

TEST(DescribeCommand, VerboseLinesAndAMistypedOption) {
    EXPECT_EQ(runReel({"--bogus"}).status, 2);
    // The codec's own name and the vendor come from the file's sample description.
    const Result verbose = runReel({"--describe", "--verbose", mediaPath("mjpeg_ima4_2997.mov")});
    EXPECT_NE(verbose.err.find("vVendor: FFMP"), std::string::npos) << verbose.err;
    EXPECT_EQ(verbose.err.find("vCodec: \n"), std::string::npos) << verbose.err;
}

TEST(DescribeCommand, TracksOnlyWhenAskedAndWithTheFilesBesideTheMovie) {
    // A folder of its own, so the subtitle file beside the movie is this test's.
    const std::string folder = testing::TempDir() + "describe-tracks-" + std::to_string(::getpid());
    const std::string movie = folder + "/two.mov";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(mediaPath("two_audio.mov"), movie);
    reel::test::spit(folder + "/two.en.srt", "1\n00:00:00,000 --> 00:00:01,000\nHi\n");
    const Result plain = runReel({"--describe", movie});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "") << "all good is quiet";

    const Result tracks = runReel({"--describe", "--tracks", movie});
    ASSERT_EQ(tracks.status, 0) << tracks.err;
    // The nine keys alone by default; asked for, the array after them.
    const std::string audio =
        R"({"kind":"audio","language":"","title":"","codec":"aac","channels":2,"external":false})";
    EXPECT_EQ(tracks.out,
              plain.out.substr(0, plain.out.size() - 2) + ",\"tracks\":[" + audio + "," + audio +
                  R"(,{"kind":"subtitle","language":"en","title":"","codec":"subrip","external":true,)"
                  R"("path":")" +
                  folder + "/two.en.srt\"}]}\n");
    std::filesystem::remove_all(folder);
}

TEST(DescribeCommand, TimingLinesWriteNamesAsTheRecordsDo) {
    // A stray byte, a line break and a terminal escape in one name.
    const std::string odd = testing::TempDir() + "odd\xff\nname \x1b[31m.mp4", empty = mediaPath("empty.mov");
    reel::test::spit(odd, slurp(mediaPath("mpeg4_mp3.mp4")));
    const Result run = runReel({"--describe", "--timing", odd, empty});
    std::remove(odd.c_str());
    EXPECT_EQ(run.status, 1);
    const std::string escaped = "\"" + testing::TempDir() + "odd\\udcff\\u000aname \\u001b[31m.mp4\"";
    EXPECT_NE(run.out.find(escaped), std::string::npos) << run.out;
    // Each name whole on its line; the figures left out.
    std::string err = run.err;
    for (std::size_t at = err.find("timing "); at != std::string::npos; at = err.find("timing ", at + 1))
        err.erase(at + 7, err.find(' ', at + 7) - at - 7);
    EXPECT_EQ(err, "timing  " + escaped + "\nreel: skipped \"" + empty + "\": empty file\ntiming  \"" +
                       empty + "\"\n");
}
