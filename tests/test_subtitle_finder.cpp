// Which subtitle files belong to a movie, in which order, and which are left out.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/subtitle_finder.h"
#include "platform/log.h"

using namespace reel;
namespace fs = std::filesystem;

namespace {

class Folder {
public:
    Folder() {
        root_ = fs::path(testing::TempDir()) /
                ("subs-" + std::to_string(::getpid()) + "-" + std::to_string(count_++));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    ~Folder() { fs::remove_all(root_); }

    std::string add(const std::string& name,
                    const std::string& content = "1\n00:00:01,000 --> 00:00:02,000\nHi\n") {
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

TEST(SubtitleFinder, TakesTheNamingVariantsOfOneMovie) {
    Folder folder;
    folder.add("movie.mp4", "");
    for (const char* name : {"movie.srt", "movie.en.srt", "movie.eng.forced.srt", "movie_en.srt",
                             "movie - English.srt", "movie.ASS", "movie.ssa", "movie.vtt", "movie.fr.sub"})
        folder.add(name);
    folder.add("movie.mp4.txt");
    folder.add("other.srt");
    folder.add("moviemaker.srt");  // a longer word, not the movie's name and a label
    EXPECT_EQ(folder.found("movie.mp4"),
              (Names{"movie - English.srt", "movie.ASS", "movie.en.srt", "movie.eng.forced.srt",
                     "movie.fr.sub", "movie.srt", "movie.ssa", "movie.vtt", "movie_en.srt"}));
}

TEST(SubtitleFinder, LeavesAnotherMoviesFilesToIt) {
    Folder folder;
    for (const char* name : {"A.mp4", "A2.mp4", "Show.mp4", "Show.Extended.mp4"}) folder.add(name, "");
    for (const char* name : {"A.srt", "A2.srt", "A2.en.srt", "Show.en.srt", "Show.Extended.en.srt"})
        folder.add(name);
    EXPECT_EQ(folder.found("A2.mp4"), (Names{"A2.en.srt", "A2.srt"}));
    EXPECT_EQ(folder.found("A.mp4"), (Names{"A.srt"}));
    EXPECT_EQ(folder.found("Show.mp4"), (Names{"Show.en.srt"}));
    EXPECT_EQ(folder.found("Show.Extended.mp4"), (Names{"Show.Extended.en.srt"}));
}

TEST(SubtitleFinder, LooksInSubsFoldersAfterTheFilesBesideIt) {
    Folder folder;
    folder.add("Episode 2.mp4", "");
    folder.add("Episode 10.mp4", "");
    folder.add("Episode 2.srt");
    folder.add("Subs/Episode 2.ru.srt");
    folder.add("Subs/Episode 10.ru.srt");
    folder.add("Subs/Episode 2/10_French.srt");
    folder.add("Subs/Episode 2/2_English.srt");
    folder.add("Subtitles/Episode 2.de.srt");
    folder.add("Subs/loose.srt");  // two movies here: whose it is cannot be told
    EXPECT_EQ(folder.found("Episode 2.mp4"),
              (Names{"Episode 2.srt", "Subs/Episode 2.ru.srt", "Subs/Episode 2/2_English.srt",
                     "Subs/Episode 2/10_French.srt", "Subtitles/Episode 2.de.srt"}));
    EXPECT_EQ(folder.found("Episode 10.mp4"), (Names{"Subs/Episode 10.ru.srt"}));
}

TEST(SubtitleFinder, TakesLooseFilesOfASubsFolderForAMovieAloneInItsFolder) {
    Folder folder;
    folder.add("Film.2020.mp4", "");
    folder.add("Subs/2_English.srt");
    folder.add("Subs/3_Spanish.srt");
    const auto files = findSubtitles(folder.path("Film.2020.mp4"));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].language, "English");
    EXPECT_EQ(files[1].language, "Spanish");
}

TEST(SubtitleFinder, NamesTheLanguageAndLabelFromTheName) {
    Folder folder;
    folder.add("movie.mp4", "");
    struct Case {
        const char* name;
        const char* language;
        const char* label;
        bool forced;
    };
    const Case cases[] = {
        {"movie.srt", "", "", false},
        {"movie.en.srt", "en", "en", false},
        {"movie.eng.forced.srt", "eng", "eng.forced", true},
        {"movie_pt-BR.srt", "pt", "pt-BR", false},
        {"movie - English.srt", "English", "English", false},
        {"movie.forced.srt", "", "forced", true},
        {"movie.commentary.de.srt", "de", "commentary.de", false},  // the word that names a language
        {"movie.tlh.srt", "tlh", "tlh", false},                     // an unknown one: the first word
    };
    for (const Case& c : cases) {
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
    std::vector<std::string> lines;
    platform::setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_EQ(folder.found("movie.mp4"), (Names{"movie.en.srt", "movie.utf16.srt"}));
    platform::setLogSink({});
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
    struct Case {
        const char *a, *b;
        bool less;
    };
    const Case cases[] = {
        {"Episode 2", "Episode 10", true},
        {"Episode 10", "Episode 2", false},
        {"ep02", "ep2", false},
        {"ep2", "ep02", true},
        {"a", "B", true},
        {"B", "a", false},
        {"x9", "x10a", true},
        {"x", "x1", true},
        {"12345678901234567890", "9", false},
        {"same", "same", false},
    };
    for (const Case& c : cases) EXPECT_EQ(naturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

TEST(SubtitleFinder, KnowsSubtitleExtensionsInAnyCase) {
    for (const char* yes : {"a.srt", "/x/a.SRT", "b.Ass", "c.ssa", "d.vtt", "e.sub", "f.idx"})
        EXPECT_TRUE(isSubtitleFile(yes)) << yes;
    for (const char* no : {"a.mp4", "srt", ".srt", "/x.srt/movie", "a.srt.txt"})
        EXPECT_FALSE(isSubtitleFile(no)) << no;
}

}  // namespace
