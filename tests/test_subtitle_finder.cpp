// Which subtitle files belong to a movie, in which order, and which are left out.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "media/subtitle_finder.h"
#include "support/log_recorder.h"
#include "support/media.h"

using namespace reel;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

const std::string kCue = "1\n00:00:01,000 --> 00:00:02,000\nHi\n";

// A folder of its own, holding an empty movie.mp4 unless told otherwise.
class Folder {
public:
    explicit Folder(Names files = {"movie.mp4"}) {
        for (const std::string& name : files)
            if (name.ends_with('/'))  // a folder with a subtitle's name
                fs::create_directories(path(name));
            else
                add(name, name.ends_with(".mp4") ? "" : kCue);
    }
    ~Folder() { fs::remove_all(root_); }

    std::string add(const std::string& name, const std::string& content = kCue) {
        fs::create_directories((root_ / name).parent_path());
        test::spit(path(name), content);
        return path(name);
    }
    std::string path(const std::string& name) const { return (root_ / name).string(); }
    // The found files' names relative to the folder.
    Names found(const std::string& movie = "movie.mp4") const {
        Names names;
        for (const SubtitleFile& file : findSubtitles(path(movie)))
            names.push_back(fs::relative(file.path, root_).string());
        return names;
    }

private:
    std::string made_ = testing::TempDir() + "subs-XXXXXX";
    fs::path root_ = ::mkdtemp(made_.data());
};

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
        {"Subs folders after the files beside; numbers of any length in order; loose files nobody's",
         {"Episode 2.mp4", "Episode 10.mp4", "Episode 2.srt", "Subs/Episode 2.ru.srt",
          "Subs/Episode 10.ru.srt", "Subs/Episode 2/10_French.srt", "Subs/Episode 2/2_English.srt",
          "Subtitles/Episode 2.de.srt", "Subs/loose.srt", "Subs/Episode 2/12345678901234567890_Thai.srt"},
         {{"Episode 2.mp4",
           {"Episode 2.srt", "Subs/Episode 2.ru.srt", "Subs/Episode 2/2_English.srt",
            "Subs/Episode 2/10_French.srt", "Subs/Episode 2/12345678901234567890_Thai.srt",
            "Subtitles/Episode 2.de.srt"}},
          {"Episode 10.mp4", {"Subs/Episode 10.ru.srt"}}}},
        {"loose files of a Subs folder, for a movie alone in its folder",
         {"Film.2020.mp4", "Subs/2_English.srt", "Subs/3_Spanish.srt"},
         {{"Film.2020.mp4", {"Subs/2_English.srt", "Subs/3_Spanish.srt"}}}},
        // A VobSub pair is given as its index; a text .sub of its own stays.
        {"a VobSub pair",
         {"movie.mp4", "movie.idx", "movie.sub", "movie.en.sub"},
         {{"movie.mp4", {"movie.en.sub", "movie.idx"}}}},
        {"nothing there", {"movie.mp4", "movie.srt/"}, {{"movie.mp4", {}}, {"missing/movie.mp4", {}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Folder folder(c.files);
        for (const auto& [movie, names] : c.found) EXPECT_EQ(folder.found(movie), names) << movie;
    }
    EXPECT_TRUE(findSubtitles("").empty());
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

TEST(SubtitleFinder, NamesTheLanguageAndLabelFromTheName) {
    Folder folder;
    const struct {
        const char *name, *language, *label;
        bool forced;
    } cases[] = {
        {"movie.srt", "", "", false},
        {"movie.eng.forced.srt", "eng", "eng.forced", true},
        {"movie_pt-BR.srt", "pt", "pt-BR", false},
        {"movie - English.srt", "English", "English", false},
        {"movie.forced.srt", "", "forced", true},
        {"movie.commentary.de.srt", "de", "commentary.de", false},  // the word that names a language
        {"movie.tlh.srt", "tlh", "tlh", false},                     // an unknown one: the first word
        {"Subs/2_English.srt", "English", "2_English", false},      // named after nothing: the whole name
    };
    for (const auto& c : cases) {
        const SubtitleFile file = describeSubtitle(folder.add(c.name), folder.path("movie.mp4"));
        EXPECT_EQ(file.language, c.language) << c.name;
        EXPECT_EQ(file.label, c.label) << c.name;
        EXPECT_EQ(file.forced, c.forced) << c.name;
    }
}

TEST(SubtitleFinder, LeavesOutWhatCannotBeASubtitleAndSaysSo) {
    Folder folder;
    folder.add("movie.garbage.srt", std::string("\x7f\x45LF\0\0\1\2garbage", 15));
    folder.add("movie.big.srt", std::string(std::size_t(kLargestSubtitleBytes) + 1, 'x'));
    folder.add("movie.en.srt");
    folder.add("movie.utf16.srt", std::string("\xff\xfe\x31\0\n\0", 6));
    test::LogRecorder log;
    EXPECT_EQ(folder.found(), (Names{"movie.en.srt", "movie.utf16.srt"}));
    EXPECT_EQ(log.count("movie.big.srt left out: too large"), 1);
    EXPECT_EQ(log.count("movie.garbage.srt left out: not text"), 1);
    EXPECT_EQ(log.take().size(), 2u);
}

TEST(SubtitleFinder, KnowsExtensionsInAnyCase) {
    for (const char* yes : {"/x/a.SRT", "b.Ass", "d.vtt", "f.idx"}) EXPECT_TRUE(isSubtitleFile(yes)) << yes;
    for (const char* no : {"a.mp4", ".srt", "/x.srt/movie", "a.srt.txt"})
        EXPECT_FALSE(isSubtitleFile(no)) << no;
}

}  // namespace
