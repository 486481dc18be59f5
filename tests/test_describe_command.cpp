// `reel --describe` as a user runs it: a process, arguments, two streams and an exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
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

Result runReel(std::vector<std::string> args) {
    const char* binary = std::getenv("REEL_BINARY");
    args.insert(args.begin(), binary ? binary : "reel");
    const std::string outPath = testing::TempDir() + "reel-out", errPath = testing::TempDir() + "reel-err";
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr)) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(outPath), slurp(errPath)};
}

long countLines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

}  // namespace

TEST(DescribeCommand, GoodFilesComeOutAndBadOnesAreNamed) {
    const std::string odd = mediaPath("-dash 'quote' \"dq\" sp ace.mp4");
    const Result run = runReel({"--describe", mediaPath("mpeg4_mp3.mp4"), mediaPath("empty.mov"),
                                mediaPath("dir.avi"), mediaPath("fifo.mp4"), mediaPath("clip.mkv"),
                                mediaPath("noext"), odd, mediaPath("dx50_mp3.avi")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(countLines(run.out), 3) << run.out;
    EXPECT_EQ(countLines(run.err), 5) << run.err;
    // Each good file in order, as the playlist's record.
    EXPECT_EQ(run.out.find("{\"rate\":\"25\",\"name\":"), 0u) << run.out;
    EXPECT_NE(run.out.find("sp ace.mp4"), std::string::npos);
    EXPECT_NE(run.out.find("\\\"dq\\\""), std::string::npos) << "quotes in names are escaped";
    EXPECT_LT(run.out.find("mpeg4_mp3.mp4"), run.out.find("dx50_mp3.avi"));
    for (const char* skipped : {"empty.mov", "dir.avi", "fifo.mp4", "clip.mkv", "noext"})
        EXPECT_NE(run.err.find(skipped), std::string::npos) << skipped;
}

TEST(DescribeCommand, AllGoodMeansSuccessAndQuietStderr) {
    const Result run = runReel({"--describe", mediaPath("pal.dv")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(countLines(run.out), 1);
    EXPECT_EQ(run.err, "");

    const Result verbose = runReel({"--describe", "--verbose", mediaPath("pal.dv")});
    EXPECT_NE(verbose.err.find("aCodec: sowt"), std::string::npos) << verbose.err;
}

TEST(DescribeCommand, HelpVersionAndMistakes) {
    const Result help = runReel({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--describe"), std::string::npos);

    const Result version = runReel({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("reel ", 0), 0u);

    EXPECT_EQ(runReel({"--bogus"}).status, 2);
    // After "--" a leading dash is a file name.
    const Result dashed = runReel({"--describe", "--", "--not-an-option.mp4"});
    EXPECT_EQ(dashed.status, 1);
    EXPECT_NE(dashed.err.find("--not-an-option.mp4"), std::string::npos);
}

TEST(DescribeCommand, TracksOnlyWhenAskedAndWithTheFilesBesideTheMovie) {
    // A folder of its own, so the subtitle file beside the movie is this test's.
    const std::string folder = testing::TempDir() + "describe-tracks-" + std::to_string(::getpid());
    const std::string movie = folder + "/two.mov";
    ASSERT_EQ(
        std::system(("mkdir -p '" + folder + "' && cp '" + mediaPath("two_audio.mov") + "' '" + movie +
                     "' && printf '1\\n00:00:00,000 --> 00:00:01,000\\nHi\\n' > '" + folder + "/two.en.srt'")
                        .c_str()),
        0);
    const Result plain = runReel({"--describe", movie});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out.find("\"tracks\""), std::string::npos) << "the nine keys alone by default";
    EXPECT_EQ(plain.out.find("\"originalSize\":"),
              plain.out.rfind("\":") - std::string("originalSize").size() - 1);

    const Result tracks = runReel({"--describe", "--tracks", movie});
    ASSERT_EQ(tracks.status, 0) << tracks.err;
    // The nine keys as before, then the array.
    EXPECT_EQ(tracks.out.substr(0, plain.out.size() - 2), plain.out.substr(0, plain.out.size() - 2));
    const std::string audio =
        R"({"kind":"audio","language":"","title":"","codec":"aac","channels":2,"external":false})";
    EXPECT_NE(tracks.out.find(",\"tracks\":[" + audio + "," + audio + ","), std::string::npos) << tracks.out;
    EXPECT_NE(
        tracks.out.find(
            R"({"kind":"subtitle","language":"en","title":"","codec":"subrip","external":true,"path":")" +
            folder + "/two.en.srt\"}]}\n"),
        std::string::npos)
        << tracks.out;
    std::system(("rm -rf '" + folder + "'").c_str());
}

TEST(DescribeCommand, TimingLinesWriteNamesAsTheRecordsDo) {
    // A stray byte, a line break and a terminal escape in one name.
    const std::string odd = testing::TempDir() + "odd\xff\nname \x1b[31m.mp4";
    reel::test::spit(odd, slurp(mediaPath("mpeg4_mp3.mp4")));
    const Result run = runReel({"--describe", "--timing", odd, mediaPath("empty.mov")});
    std::remove(odd.c_str());
    EXPECT_EQ(run.status, 1);
    const std::string escaped = "odd\\udcff\\u000aname \\u001b[31m.mp4\"";
    EXPECT_EQ(countLines(run.out), 1) << run.out;
    EXPECT_NE(run.out.find(escaped), std::string::npos) << run.out;
    // A skipped line and two timing lines, each name whole on its line.
    std::vector<std::string> timings;
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("timing ", 0) == 0) timings.push_back(line);
    }
    EXPECT_EQ(countLines(run.err), 3) << run.err;
    ASSERT_EQ(timings.size(), 2u) << run.err;
    EXPECT_EQ(timings[0].substr(timings[0].size() - escaped.size()), escaped);
    EXPECT_EQ(timings[1].substr(timings[1].size() - 10), "empty.mov\"");
    for (const char raw : {'\xff', '\x1b'}) EXPECT_EQ(run.err.find(raw), std::string::npos) << run.err;
}
