#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace reel {

// One audio or subtitle track of a movie, as a description reads it from the
// container or as the player lists it while playing.
struct TrackInfo {
    enum class Kind { Audio, Subtitle };
    Kind kind = Kind::Audio;
    long id = 0;           // the player's number for it; 0 in a description
    std::string language;  // as the file or name says it: "eng", "ja", "English", or empty
    std::string title;
    std::string codec;  // FFmpeg's short name: "aac", "ac3", "subrip", "mov_text"
    int channels = 0;
    bool external = false;  // a subtitle file found beside the movie
    std::string path;       // ... that file
    bool isDefault = false;
    bool forced = false;
    bool selected = false;

    bool operator==(const TrackInfo&) const = default;
};

// A subtitle file to load with a movie, with what its name says of it.
struct SubtitleFile {
    std::string path;
    std::string language;  // the first word after the movie's name ("en" of movie.en.srt), or empty
    std::string label;     // all that follows the movie's name ("en.forced")
    bool forced = false;

    bool operator==(const SubtitleFile&) const = default;
};

// The tracks to play: a track id, 0 for none, or nothing to leave the player's own choice.
struct TrackChoice {
    std::optional<long> audio;
    std::optional<long> subtitle;
};

// Picks the tracks of a movie about to play; called on the player's thread.
using TrackChooser = std::function<TrackChoice(const std::vector<TrackInfo>&)>;

}  // namespace reel
