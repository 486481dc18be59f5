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

// Options
inline constexpr const char* kVideoOutput = "vo";
inline constexpr const char* kKeepOpen = "keep-open";

// Commands
inline constexpr const char* kLoadFile = "loadfile";
inline constexpr const char* kSeek = "seek";
inline constexpr const char* kStop = "stop";

}  // namespace reel::mpv
