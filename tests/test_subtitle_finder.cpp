// Which subtitle files belong to a movie, in which order, and which are left out.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/subtitle_finder.h"
#include "support/log_recorder.h"

using namespace reel;
namespace fs = std::filesystem;

namespace {

const std::string kCue = "1\n00:00:01,000 --> 00:00:02,000\nHi\n";

class Folder {
public:
    Folder() {
        root_ = fs::path(testing::TempDir()) /
                ("subs-" + std::to_string(::getpid()) + "-" + std::to_string(count_++));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    ~Folder() { fs::remove_all(root_); }

    std::string add(const std::string& name, const std::string& content = kCue) {
        const fs::path path = root_ / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
    std::string path(const std::string& name) const { return (root_ / name).string(); }

    // The found files' names relative to the folder.
    std::vector<std::string> found(const std::string& movie) const {
        std::vector<std::string> names;
        for (const SubtitleFile& file : findSubtitles(path(movie)))
            names.push_back(fs::relative(file.path, root_).string());
        return names;
    }

private:
    static inline int count_ = 0;
    fs::path root_;
};

using Names = std::vector<std::string>;

// Each folder holds movies (.mp4) and subtitle files; each movie gets its own, in order.
TEST(SubtitleFinder, FindsEachMoviesOwnFiles) {
    const struct {
        const char* what;
        Names files;
        std::vector<std::pair<std::string, Names>> found;
    } cases[] = {
        {"the naming variants of one movie",
         // "moviemaker" is a longer word, not the movie's name and a label.
         {"movie.mp4", "movie.srt", "movie.en.srt", "movie.eng.forced.srt", "movie_en.srt",
          "movie - English.srt", "movie.ASS", "movie.ssa", "movie.vtt", "movie.fr.sub", "movie.mp4.txt",
          "other.srt", "moviemaker.srt"},
         {{"movie.mp4",
           {"movie - English.srt", "movie.ASS", "movie.en.srt", "movie.eng.forced.srt", "movie.fr.sub",
            "movie.srt", "movie.ssa", "movie.vtt", "movie_en.srt"}}}},
        {"another movie's files are left to it",
         {"A.mp4", "A2.mp4", "Show.mp4", "Show.Extended.mp4", "A.srt", "A2.srt", "A2.en.srt", "Show.en.srt",
          "Show.Extended.en.srt"},
         {{"A2.mp4", {"A2.en.srt", "A2.srt"}},
          {"A.mp4", {"A.srt"}},
          {"Show.mp4", {"Show.en.srt"}},
          {"Show.Extended.mp4", {"Show.Extended.en.srt"}}}},
        {"Subs folders after the files beside it; loose ones there are nobody's with two movies",
         {"Episode 2.mp4", "Episode 10.mp4", "Episode 2.srt", "Subs/Episode 2.ru.srt",
          "Subs/Episode 10.ru.srt", "Subs/Episode 2/10_French.srt", "Subs/Episode 2/2_English.srt",
          "Subtitles/Episode 2.de.srt", "Subs/loose.srt"},
         {{"Episode 2.mp4",
           {"Episode 2.srt", "Subs/Episode 2.ru.srt", "Subs/Episode 2/2_English.srt",
            "Subs/Episode 2/10_French.srt", "Subtitles/Episode 2.de.srt"}},
          {"Episode 10.mp4", {"Subs/Episode 10.ru.srt"}}}},
        {"loose files of a Subs folder, for a movie alone in its folder",
         {"Film.2020.mp4", "Subs/2_English.srt", "Subs/3_Spanish.srt"},
         {{"Film.2020.mp4", {"Subs/2_English.srt", "Subs/3_Spanish.srt"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Folder folder;
        for (const std::string& name : c.files) folder.add(name, name.ends_with(".mp4") ? "" : kCue);
        for (const auto& [movie, names] : c.found) EXPECT_EQ(folder.found(movie), names) << movie;
    }
}

TEST(SubtitleFinder, NamesTheLanguageAndLabelFromTheName) {
    Folder folder;
    folder.add("movie.mp4", "");
    const struct {
        const char *name, *language, *label;
        bool forced;
    } cases[] = {
        {"movie.srt", "", "", false},
        {"movie.en.srt", "en", "en", false},
        {"movie.eng.forced.srt", "eng", "eng.forced", true},
        {"movie_pt-BR.srt", "pt", "pt-BR", false},
        {"movie - English.srt", "English", "English", false},
        {"movie.forced.srt", "", "forced", true},
        {"movie.commentary.de.srt", "de", "commentary.de", false},  // the word that names a language
        {"movie.tlh.srt", "tlh", "tlh", false},                     // an unknown one: the first word
    };
    for (const auto& c : cases) {
        const SubtitleFile file = describeSubtitle(folder.add(c.name), folder.path("movie.mp4"));
        EXPECT_EQ(file.language, c.language) << c.name;
        EXPECT_EQ(file.label, c.label) << c.name;
        EXPECT_EQ(file.forced, c.forced) << c.name;
    }
    // A file named after nothing: its whole name is its label.
    EXPECT_EQ(describeSubtitle(folder.add("Subs/2_English.srt"), folder.path("movie.mp4")).language,
              "English");
}

TEST(SubtitleFinder, GivesAVobSubPairAsItsIndex) {
    Folder folder;
    folder.add("movie.mp4", "");
    folder.add("movie.idx", "# VobSub index file, v7\n");
    folder.add("movie.sub", std::string("\0\0\1\xba", 4));
    folder.add("movie.en.sub", "{1}{25}MicroDVD text\n");  // a text .sub of its own
    EXPECT_EQ(folder.found("movie.mp4"), (Names{"movie.en.sub", "movie.idx"}));
}

TEST(SubtitleFinder, LeavesOutWhatCannotBeASubtitleAndSaysSo) {
    Folder folder;
    folder.add("movie.mp4", "");
    folder.add("movie.garbage.srt", std::string("\x7f"
                                                "ELF\0\0\1\2garbage",
                                                15));
    folder.add("movie.big.srt", std::string(std::size_t(kLargestSubtitleBytes) + 1, 'x'));
    folder.add("movie.en.srt");
    folder.add("movie.utf16.srt", std::string("\xff\xfe"
                                              "1\0\n\0",
                                              6));
    test::LogRecorder log;
    EXPECT_EQ(folder.found("movie.mp4"), (Names{"movie.en.srt", "movie.utf16.srt"}));
    const std::vector<std::string> lines = log.take();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("movie.big.srt"), std::string::npos);
    EXPECT_NE(lines[0].find("too large"), std::string::npos);
    EXPECT_NE(lines[1].find("movie.garbage.srt left out: not text"), std::string::npos);
}

TEST(SubtitleFinder, FindsNothingWhereThereIsNothing) {
    Folder folder;
    EXPECT_TRUE(findSubtitles(folder.path("missing/movie.mp4")).empty());
    EXPECT_TRUE(findSubtitles("").empty());
    folder.add("movie.mp4", "");
    fs::create_directories(folder.path("movie.srt"));  // a folder with a subtitle's name
    EXPECT_TRUE(folder.found("movie.mp4").empty());
}

TEST(NaturalOrder, ComparesNumbersAsNumbers) {
    // Each pair in order, and never the other way round.
    const std::pair<const char*, const char*> ordered[] = {
        {"Episode 2", "Episode 10"},  {"ep2", "ep02"}, {"a", "B"}, {"x9", "x10a"}, {"x", "x1"},
        {"9", "12345678901234567890"}};
    for (const auto& [a, b] : ordered) {
        EXPECT_TRUE(naturalLess(a, b)) << a << " < " << b;
        EXPECT_FALSE(naturalLess(b, a)) << b << " < " << a;
    }
    EXPECT_FALSE(naturalLess("same", "same"));
}

TEST(SubtitleFinder, KnowsSubtitleExtensionsInAnyCase) {
    for (const char* yes : {"a.srt", "/x/a.SRT", "b.Ass", "c.ssa", "d.vtt", "e.sub", "f.idx"})
        EXPECT_TRUE(isSubtitleFile(yes)) << yes;
    for (const char* no : {"a.mp4", "srt", ".srt", "/x.srt/movie", "a.srt.txt"})
        EXPECT_FALSE(isSubtitleFile(no)) << no;
}

}  // namespace
