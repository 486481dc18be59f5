#include "media/subtitle_finder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "media/track_choice.h"
#include "platform/log.h"

namespace reel {

namespace fs = std::filesystem;

namespace {

char lower(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }

std::string lowerText(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lower(c);
    return out;
}

// Extension, lower case, without its dot.
std::string extensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return lowerText(name.substr(dot + 1));
}

std::string stemOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}

constexpr std::array<std::string_view, 6> kSubtitleExtensions{"srt", "ass", "ssa", "vtt", "sub", "idx"};
// Movies whose subtitle files might share a folder with this one's.
constexpr std::array<std::string_view, 12> kMovieExtensions{"mpg", "mpeg", "avi", "mov",  "mpv", "mp4",
                                                            "vob", "dv",   "mkv", "webm", "m4v", "ts"};

bool isSeparator(char c) { return c == '.' || c == '_' || c == ' ' || c == '-'; }

// What follows the stem in a name made from it ("en.forced" of "movie.en.forced"
// for "movie"), or nothing when the name is not made from the stem.
std::optional<std::string> suffixAfter(std::string_view name, std::string_view stem) {
    if (name.size() < stem.size() || lowerText(name.substr(0, stem.size())) != lowerText(stem))
        return std::nullopt;
    std::string_view rest = name.substr(stem.size());
    if (!rest.empty() && !isSeparator(rest.front())) return std::nullopt;  // "A2" is not made from "A"
    while (!rest.empty() && isSeparator(rest.front())) rest.remove_prefix(1);
    return std::string(rest);
}

// The words of a label: "eng.forced" is "eng" and "forced", "2_English" is "2" and "English".
std::vector<std::string> words(const std::string& label) {
    std::vector<std::string> found;
    std::string word;
    for (char c : label + '.') {
        if (!isSeparator(c)) {
            word += c;
            continue;
        }
        if (!word.empty()) found.push_back(word);
        word.clear();
    }
    return found;
}

bool isNumber(const std::string& word) {
    return std::all_of(word.begin(), word.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

SubtitleFile described(const fs::path& path, const std::string& label) {
    SubtitleFile file;
    file.path = path.string();
    file.label = label;
    file.forced = lowerText(label).find("forced") != std::string::npos;
    // The language is the first word that names one; failing that, the first
    // word of a label after the movie's name that is neither a number nor "forced".
    const std::vector<std::string> all = words(label);
    for (const std::string& word : all) {
        if (isKnownLanguage(word)) {
            file.language = word;
            return file;
        }
    }
    for (const std::string& word : all) {
        if (isNumber(word)) continue;
        if (lowerText(word) != "forced") file.language = word;
        break;
    }
    return file;
}

struct Listing {
    std::vector<fs::path> subtitles;
    std::vector<std::string> movieStems;
    std::vector<fs::path> folders;
};

Listing list(const fs::path& folder) {
    Listing listing;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        const std::string name = path.filename().string();
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            listing.folders.push_back(path);
            continue;
        }
        const std::string ext = extensionOf(name);
        if (std::find(kSubtitleExtensions.begin(), kSubtitleExtensions.end(), ext) !=
            kSubtitleExtensions.end())
            listing.subtitles.push_back(path);
        else if (std::find(kMovieExtensions.begin(), kMovieExtensions.end(), ext) != kMovieExtensions.end())
            listing.movieStems.push_back(stemOf(name));
    }
    return listing;
}

// The name is made from this movie's stem and from no other movie's longer
// one ("Show.Extended.srt" belongs to "Show.Extended.mp4", not to "Show.mp4").
std::optional<std::string> labelFor(const std::string& subtitleStem, const std::string& stem,
                                    const std::vector<std::string>& movieStems) {
    auto label = suffixAfter(subtitleStem, stem);
    if (!label) return std::nullopt;
    for (const std::string& other : movieStems) {
        if (other.size() > stem.size() && suffixAfter(subtitleStem, other)) return std::nullopt;
    }
    return label;
}

bool sortedNaturally(const SubtitleFile& a, const SubtitleFile& b) { return naturalLess(a.path, b.path); }

// A VobSub pair plays from its .idx: its .sub goes unnamed.
void dropVobSubPictures(std::vector<SubtitleFile>& files) {
    std::vector<std::string> indexes;
    for (const SubtitleFile& file : files)
        if (extensionOf(file.path) == "idx") indexes.push_back(lowerText(stemOf(file.path)));
    std::erase_if(files, [&](const SubtitleFile& file) {
        return extensionOf(file.path) == "sub" &&
               std::find(indexes.begin(), indexes.end(), lowerText(stemOf(file.path))) != indexes.end();
    });
}

void keepUsable(std::vector<SubtitleFile>& files) {
    std::erase_if(files, [](const SubtitleFile& file) {
        const std::string why = unusableSubtitle(file.path);
        if (!why.empty()) platform::log("subtitle file " + file.path + " left out: " + why);
        return !why.empty();
    });
}

bool subsFolderName(const std::string& name) {
    const std::string lowered = lowerText(name);
    return lowered == "subs" || lowered == "subtitles" || lowered == "sub";
}

}  // namespace

SubtitleFile describeSubtitle(const std::string& path, const std::string& moviePath) {
    const std::string stem = stemOf(fs::path(path).filename().string());
    const auto label = suffixAfter(stem, stemOf(fs::path(moviePath).filename().string()));
    return described(path, label ? *label : stem);
}

TrackInfo externalTrack(const SubtitleFile& file) {
    TrackInfo track;
    track.kind = TrackInfo::Kind::Subtitle;
    track.language = file.language;
    track.title = file.label == file.language ? std::string() : file.label;
    track.codec = extensionOf(file.path) == "srt" ? "subrip" : extensionOf(file.path);
    track.external = true;
    track.path = file.path;
    track.forced = file.forced;
    return track;
}

bool isSubtitleFile(std::string_view path) {
    const std::string ext = extensionOf(path.substr(std::min(path.size(), path.rfind('/') + 1)));
    return std::find(kSubtitleExtensions.begin(), kSubtitleExtensions.end(), ext) !=
           kSubtitleExtensions.end();
}

std::string unusableSubtitle(const std::string& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (error) return error.message();
    const std::string ext = extensionOf(path);
    // VobSub pictures are binary and large by nature.
    if (ext == "sub" || ext == "idx") return {};
    if (size > std::uintmax_t(kLargestSubtitleBytes)) return "too large for a subtitle file";
    std::ifstream in(path, std::ios::binary);
    std::array<char, 4096> head{};
    in.read(head.data(), head.size());
    const std::size_t got = std::size_t(in.gcount());
    // UTF-16 text starts with its byte-order mark; any other text has no NUL bytes.
    const bool utf16 =
        got >= 2 && ((head[0] == '\xFF' && head[1] == '\xFE') || (head[0] == '\xFE' && head[1] == '\xFF'));
    if (!utf16 && std::find(head.begin(), head.begin() + std::ptrdiff_t(got), '\0') !=
                      head.begin() + std::ptrdiff_t(got))
        return "not text";
    return {};
}

bool naturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    int zeros = 0;  // equal numbers: the one written with fewer leading zeros first
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i]));
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j]));
        if (digitA && digitB) {
            std::size_t endA = i, endB = j;
            while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA]))) ++endA;
            while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB]))) ++endB;
            // Compare the numbers without their leading zeros: by length, then digit by digit.
            std::string_view numA = a.substr(i, endA - i), numB = b.substr(j, endB - j);
            while (numA.size() > 1 && numA.front() == '0') numA.remove_prefix(1);
            while (numB.size() > 1 && numB.front() == '0') numB.remove_prefix(1);
            if (numA.size() != numB.size()) return numA.size() < numB.size();
            if (numA != numB) return numA < numB;
            if (zeros == 0 && endA - i != endB - j) zeros = endA - i < endB - j ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        const char ca = lower(a[i]), cb = lower(b[j]);
        if (ca != cb) return ca < cb;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    if (zeros != 0) return zeros < 0;
    return a < b;  // equal but for case: a fixed order all the same
}

std::vector<SubtitleFile> findSubtitles(const std::string& moviePath) {
    const fs::path movie(moviePath);
    const fs::path folder = movie.has_parent_path() ? movie.parent_path() : fs::path(".");
    const std::string stem = stemOf(movie.filename().string());
    if (stem.empty()) return {};

    const Listing beside = list(folder);
    std::vector<SubtitleFile> near, inFolders;
    for (const fs::path& path : beside.subtitles) {
        if (auto label = labelFor(stemOf(path.filename().string()), stem, beside.movieStems))
            near.push_back(described(path, *label));
    }
    // Loose files in a Subs/ folder are this movie's only when it is alone in its folder.
    const bool alone = std::count_if(beside.movieStems.begin(), beside.movieStems.end(),
                                     [&](const std::string& s) { return s != stem; }) == 0;
    for (const fs::path& subs : beside.folders) {
        if (!subsFolderName(subs.filename().string())) continue;
        const Listing inside = list(subs);
        for (const fs::path& path : inside.subtitles) {
            const std::string subtitleStem = stemOf(path.filename().string());
            if (auto label = labelFor(subtitleStem, stem, beside.movieStems))
                inFolders.push_back(described(path, *label));
            else if (alone)
                inFolders.push_back(described(path, subtitleStem));
        }
        for (const fs::path& own : inside.folders) {
            if (lowerText(own.filename().string()) != lowerText(stem)) continue;
            for (const fs::path& path : list(own).subtitles)
                inFolders.push_back(described(path, stemOf(path.filename().string())));
        }
    }
    std::sort(near.begin(), near.end(), sortedNaturally);
    std::sort(inFolders.begin(), inFolders.end(), sortedNaturally);
    near.insert(near.end(), inFolders.begin(), inFolders.end());
    dropVobSubPictures(near);
    keepUsable(near);
    return near;
}

}  // namespace reel
