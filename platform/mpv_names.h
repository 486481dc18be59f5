#pragma once

// The mpv properties, options and commands the player uses, in one place.
namespace reel::mpv {

// Properties
inline constexpr const char* kTimePos = "time-pos";
inline constexpr const char* kDuration = "duration";
inline constexpr const char* kPause = "pause";
inline constexpr const char* kEofReached = "eof-reached";
inline constexpr const char* kSpeed = "speed";
inline constexpr const char* kMute = "mute";
inline constexpr const char* kVolume = "volume";
inline constexpr const char* kVideoOutputConfigured = "vo-configured";
inline constexpr const char* kPath = "path";
// Called play-dir in mpv 0.35; later versions renamed it.
inline constexpr const char* kPlayDirection = "play-dir";
inline constexpr const char* kTrackList = "track-list";
inline constexpr const char* kAudioTrack = "aid";
inline constexpr const char* kSubtitleTrack = "sid";
inline constexpr const char* kSubtitleText = "sub-text";

// Options
inline constexpr const char* kVideoOutput = "vo";
inline constexpr const char* kKeepOpen = "keep-open";
inline constexpr const char* kSubtitleFiles = "sub-files";
inline constexpr const char* kSubtitleCodepage = "sub-codepage";
inline constexpr const char* kSubtitlesAutoload = "sub-auto";
inline constexpr const char* kSubtitleMargins = "sub-use-margins";
inline constexpr const char* kAssMargins = "sub-ass-force-margins";

// Commands
inline constexpr const char* kLoadFile = "loadfile";
inline constexpr const char* kSeek = "seek";
inline constexpr const char* kStop = "stop";
inline constexpr const char* kSubtitleAdd = "sub-add";

// Hooks
// After a file opens and before its tracks are chosen.
inline constexpr const char* kPreloadedHook = "on_preloaded";

}  // namespace reel::mpv
