#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/track_info.h"

namespace reel {

enum class ShowSubtitles { Always, WhenForeign, Never };

// What the user prefers, in order: "ja, en" puts Japanese first.
struct LanguagePreferences {
    std::vector<std::string> audio;
    std::vector<std::string> subtitles;
    ShowSubtitles show = ShowSubtitles::WhenForeign;

    bool operator==(const LanguagePreferences&) const = default;
};

// A choice made while watching, carried to the following movies by language.
struct CarriedChoice {
    std::optional<std::string> audioLanguage;
    bool subtitleChosen = false;   // the user picked a subtitle track or Off
    std::string subtitleLanguage;  // ... this one, or empty for Off
};

// A language as one word for comparing: "en", "eng" and "English" are all "en".
// Unknown names come back lower case.
std::string languageKey(std::string_view language);
bool sameLanguage(std::string_view a, std::string_view b);
// Whether a word is one of the languages known by all their names ("es", "spa", "Spanish").
bool isKnownLanguage(std::string_view word);

// "ja, en" as a list; blanks and empty items dropped.
std::vector<std::string> languageList(std::string_view text);

// The tracks a movie plays with: a choice carried over first, then the
// preferred languages in order, then the file's own default.
TrackChoice chooseTracks(const std::vector<TrackInfo>& tracks, const LanguagePreferences& preferences,
                         const CarriedChoice& carried);

// How a menu names a track: "English — Commentary (AC-3 5.1)".
std::string trackLabel(const TrackInfo& track);

// The information panel's lines, one a track: "Audio: English (AAC stereo)".
std::string trackLines(const std::vector<TrackInfo>& tracks);

}  // namespace reel
