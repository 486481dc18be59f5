#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/track_info.h"

namespace reel {

// Subtitle files that belong to a movie: beside it, named after it
// (movie.srt, movie.en.srt, movie.eng.forced.srt, movie_en.srt,
// movie - English.srt), and in a Subs/ or Subtitles/ folder beside it,
// including one named after the movie (Subs/movie/2_English.srt). Files named
// after another movie of the same folder are left to that movie. A VobSub
// pair is given as its .idx. Files that cannot be subtitles (too large, or
// binary where text is expected) are named in the log and left out. Beside the
// movie first, then the folders, each in natural order.
std::vector<SubtitleFile> findSubtitles(const std::string& moviePath);

// A subtitle file as the finder would describe it for this movie, for one
// the user hands over: named after the movie or not.
SubtitleFile describeSubtitle(const std::string& path, const std::string& moviePath);

// An external file as a track of the movie, for lists beside the embedded ones.
TrackInfo externalTrack(const SubtitleFile& file);

// Whether a file's extension is one of a subtitle file (.srt .ass .ssa .vtt .sub .idx).
bool isSubtitleFile(std::string_view path);

// Why a subtitle file cannot be used, or empty when it can.
std::string unusableSubtitle(const std::string& path);

// Natural order: runs of digits compare as numbers, letters without case,
// so "Episode 2" comes before "Episode 10".
bool naturalLess(std::string_view a, std::string_view b);

// A text subtitle larger than this is no subtitle (a feature film's runs to a few hundred KB).
constexpr long long kLargestSubtitleBytes = 8 << 20;

}  // namespace reel
