#pragma once

#include "media/track_choice.h"

namespace reel {

// The language settings as kept in the preference domain.
struct TrackPreferences {
    LanguagePreferences languages;
    // In full screen, the picture letterboxed: subtitles go in the black bands below it.
    bool subtitlesInBands = true;

    bool operator==(const TrackPreferences&) const = default;

    static TrackPreferences load();
    // Writes these keys, keeping every other one of the domain.
    void save() const;
};

}  // namespace reel
