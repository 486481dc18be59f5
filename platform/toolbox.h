#pragma once

// The movie toolbox as the description code sees it: a movie made of tracks,
// each track holding one media with a sample description, a handler and timing.
// A movie is plain data filled in by whoever opened the file (the FFmpeg
// inspector, or a test building a layout by hand); the functions below answer
// questions about it the way the classic toolbox calls did, so the callers'
// procedures read the same as they would against the real thing.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/track_info.h"

namespace reel::toolbox {

using OSType = std::uint32_t;  // four-character code, first character in the high byte
using OSErr = int;
using TimeValue = std::int32_t;
using TimeScale = std::int32_t;
using Fixed = std::int32_t;  // 16.16

constexpr OSErr noErr = 0;
constexpr OSErr paramErr = -50;
constexpr OSErr invalidMedia = -2008;
constexpr OSErr badCallBackErr = -2005;

constexpr OSType FourCC(const char (&s)[5]) {
    return (OSType(std::uint8_t(s[0])) << 24) | (OSType(std::uint8_t(s[1])) << 16) |
           (OSType(std::uint8_t(s[2])) << 8) | OSType(std::uint8_t(s[3]));
}

constexpr OSType VideoMediaType = FourCC("vide");
constexpr OSType SoundMediaType = FourCC("soun");
constexpr OSType MPEGMediaType = FourCC("MPEG");
constexpr OSType VisualMediaCharacteristic = FourCC("eyes");
constexpr OSType AudioMediaCharacteristic = FourCC("ears");
constexpr OSType kCharacteristicHasVideoFrameRate = FourCC("vfrr");
constexpr OSType kCharacteristicIsMPEG = FourCC("mpeg");
constexpr OSType kMPEGMediaGetPublicInfoFrameRate = FourCC("orat");

// GetMovieIndTrackType flags
constexpr long movieTrackMediaType = 1;
constexpr long movieTrackCharacteristic = 2;
constexpr long movieTrackEnabledOnly = 4;

// GetMovieNextInterestingTime flags
constexpr short nextTimeMediaSample = 1;
constexpr short nextTimeEdgeOK = 0x4000;

// Callback types and trigger flags
constexpr short callBackAtExtremes = 4;
constexpr long triggerAtStart = 1;
constexpr long triggerAtStop = 2;

struct Rect {
    std::int16_t top = 0, left = 0, bottom = 0, right = 0;
};

// The first sample description of a media, in the fields that are ever read.
// A value-initialised record is the "empty description" of a missing track.
struct SampleDescription {
    OSType dataFormat = 0;                // compression code (cType of an image description)
    OSType vendor = 0;                    // image descriptions only
    std::array<std::uint8_t, 32> name{};  // compressor name: a length byte, then the characters
    std::int16_t numChannels = 0;         // sound descriptions only
    std::uint64_t sampleRate = 0;         // 16.16 unsigned fixed, widened so 96 kHz fits
};

struct MediaRecord {
    OSType mediaType = 0;
    TimeScale timeScale = 0;
    TimeValue duration = 0;  // in the media's own time scale
    long sampleCount = 0;
    std::vector<OSType> characteristics;
    SampleDescription description;
    std::string handlerCreatorName;  // "Vendor Kind Media Handler"
    bool hasEncodedFrameRate = false;
    Fixed encodedFrameRate = 0;  // public info 'orat'
};

struct TrackRecord {
    bool enabled = true;
    TimeValue duration = 0;     // in the movie's time scale
    std::int64_t dataSize = 0;  // bytes of sample data over the whole track
    MediaRecord media;
};

struct CallBackRecord;
using CallBack = std::shared_ptr<CallBackRecord>;
using CallBackProc = void (*)(CallBack callBack, void* refCon);

// Where a movie that is playing keeps its position, and who is told when it
// reaches its end. A movie that is only being described has none.
class PlaybackClock {
public:
    virtual ~PlaybackClock() = default;
    virtual TimeValue time(TimeScale scale) const = 0;
    virtual void setTime(TimeValue value, TimeScale scale) = 0;
    virtual void task() = 0;

    // The player calls this, on its own thread, as forward playback reaches
    // the end (true) or leaves it again (false). On reaching it, every
    // callback armed to trigger at stop is called there, once.
    void setAtStop(bool atStop);
    // After this no callback armed on the clock is ever called: the movie is no longer shown.
    // Waits for callbacks already running, so none runs once it returns.
    void retire();

private:
    friend OSErr CallMeWhen(CallBack, CallBackProc, void*, long, long, long);
    // Called when a callback is armed while the movie already stands at its end.
    virtual void armedAtStop() {}

    std::recursive_mutex mutex_;
    std::vector<CallBack> armed_;
    std::atomic<bool> retired_{false};
    bool atStop_ = false;
};

using TimeBase = PlaybackClock*;

struct CallBackRecord {
    TimeBase timeBase = nullptr;
    short type = 0;
    CallBackProc procedure = nullptr;
    void* refCon = nullptr;
    long flags = 0;
    std::atomic<bool> disposed{false};
};

struct MovieRecord {
    std::string source;  // the file it was opened from
    TimeScale timeScale = 600;
    TimeValue duration = 0;
    Rect naturalBounds;
    std::vector<TrackRecord> tracks;
    // The sound and subtitle streams by language, codec and title, in the file's order.
    std::vector<TrackInfo> streams;
    TimeValue currentTime = 0;
    std::shared_ptr<PlaybackClock> clock;
};

using Movie = MovieRecord*;
using Track = const TrackRecord*;
using Media = const MediaRecord*;
using MediaHandler = const MediaRecord*;

// Movie
TimeScale GetMovieTimeScale(Movie movie);
TimeValue GetMovieDuration(Movie movie);
TimeValue GetMovieTime(Movie movie, void* timeRecord);
void SetMovieTimeValue(Movie movie, TimeValue value);
void MoviesTask(Movie movie, long maxMilliSecToUse);
void GetMovieNaturalBoundsRect(Movie movie, Rect* bounds);
Track GetMovieIndTrack(Movie movie, long index);
Track GetMovieIndTrackType(Movie movie, long index, OSType typeOrCharacteristic, long flags);
void GetMovieNextInterestingTime(Movie movie, short flags, short numMediaTypes, const OSType* whichMediaTypes,
                                 TimeValue time, Fixed rate, TimeValue* interestingTime,
                                 TimeValue* interestingDuration);
OSErr GetMoviesError();
TimeBase GetMovieTimeBase(Movie movie);

// Callbacks on a movie's time base
CallBack NewCallBack(TimeBase timeBase, short callBackType);
OSErr CallMeWhen(CallBack callBack, CallBackProc procedure, void* refCon, long flags, long param2,
                 long param3);
void DisposeCallBack(CallBack callBack);

// Track
Media GetTrackMedia(Track track);
TimeValue GetTrackDuration(Track track);
bool GetTrackEnabled(Track track);
std::int64_t GetTrackDataSize(Track track, TimeValue startTime, TimeValue duration);

// Media
void GetMediaSampleDescription(Media media, long index, SampleDescription* description);
MediaHandler GetMediaHandler(Media media);
void GetMediaHandlerDescription(Media media, OSType* mediaType, std::string* creatorName,
                                OSType* creatorManufacturer);
OSErr MediaHasCharacteristic(MediaHandler handler, OSType characteristic, bool* hasIt);
OSErr MediaGetPublicInfo(MediaHandler handler, OSType infoSelector, Fixed* value, long* size);
long GetMediaSampleCount(Media media);
TimeValue GetMediaDuration(Media media);
TimeScale GetMediaTimeScale(Media media);

// 16.16 fixed point
Fixed X2Fix(double x);
double Fix2X(Fixed x);
int FixRound(Fixed x);

}  // namespace reel::toolbox
