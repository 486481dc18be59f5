#include "platform/toolbox.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace reel::toolbox {

namespace {

thread_local OSErr lastError = noErr;

OSErr setError(OSErr err) {
    lastError = err;
    return err;
}

bool hasCharacteristic(const MediaRecord& media, OSType characteristic) {
    return std::find(media.characteristics.begin(), media.characteristics.end(), characteristic) !=
           media.characteristics.end();
}

bool trackMatches(const TrackRecord& track, OSType what, long flags) {
    if ((flags & movieTrackEnabledOnly) && !track.enabled) return false;
    if (flags & movieTrackCharacteristic) return hasCharacteristic(track.media, what);
    return track.media.mediaType == what;
}

}  // namespace

TimeScale GetMovieTimeScale(Movie movie) { return movie ? movie->timeScale : 0; }

TimeValue GetMovieDuration(Movie movie) { return movie ? movie->duration : 0; }

TimeValue GetMovieTime(Movie movie, void*) {
    if (!movie) return 0;
    return movie->clock ? movie->clock->time(movie->timeScale) : movie->currentTime;
}

void SetMovieTimeValue(Movie movie, TimeValue value) {
    if (!movie) return;
    movie->currentTime = std::clamp<TimeValue>(value, 0, movie->duration);
    if (movie->clock) movie->clock->setTime(movie->currentTime, movie->timeScale);
}

void MoviesTask(Movie movie, long) {
    if (movie && movie->clock) movie->clock->task();
}

void GetMovieNaturalBoundsRect(Movie movie, Rect* bounds) {
    if (bounds) *bounds = movie ? movie->naturalBounds : Rect{};
}

Track GetMovieIndTrack(Movie movie, long index) {
    if (!movie || index < 1 || std::size_t(index) > movie->tracks.size()) return nullptr;
    return &movie->tracks[std::size_t(index - 1)];
}

Track GetMovieIndTrackType(Movie movie, long index, OSType what, long flags) {
    if (!movie || index < 1) return nullptr;
    long seen = 0;
    for (const TrackRecord& track : movie->tracks) {
        if (trackMatches(track, what, flags) && ++seen == index) return &track;
    }
    return nullptr;
}

// Samples are taken as evenly spaced over the track: the inspector knows how
// many there are and how long the track lasts, not each sample's own time.
void GetMovieNextInterestingTime(Movie movie, short flags, short numMediaTypes, const OSType* whichMediaTypes,
                                 TimeValue time, Fixed, TimeValue* interestingTime,
                                 TimeValue* interestingDuration) {
    TimeValue found = -1;
    if (movie && (flags & nextTimeMediaSample)) {
        for (const TrackRecord& track : movie->tracks) {
            const bool wanted = numMediaTypes == 0 || !whichMediaTypes ||
                                std::find(whichMediaTypes, whichMediaTypes + numMediaTypes,
                                          track.media.mediaType) != whichMediaTypes + numMediaTypes;
            if (!wanted || track.media.sampleCount <= 0 || track.duration <= 0) continue;
            const double step = double(track.duration) / double(track.media.sampleCount);
            // Index of the first sample at (edge OK) or after the given time.
            double index = std::ceil(double(time) / step);
            if (!(flags & nextTimeEdgeOK) && index * step <= double(time)) index += 1;
            if (index < 0) index = 0;
            if (index >= double(track.media.sampleCount)) continue;
            const auto at = static_cast<TimeValue>(std::llround(index * step));
            if (found < 0 || at < found) found = at;
        }
    }
    if (interestingTime) *interestingTime = found;
    if (interestingDuration) *interestingDuration = 0;
    setError(noErr);
}

OSErr GetMoviesError() { return lastError; }

TimeBase GetMovieTimeBase(Movie movie) { return movie ? movie->clock.get() : nullptr; }

// ---- Callbacks

void PlaybackClock::setAtStop(bool atStop) {
    std::lock_guard lock(mutex_);
    atStop_ = atStop;
    if (!atStop || retired_) return;
    // Each armed callback fires once; a callback disposed of meanwhile does not.
    std::vector<CallBack> firing;
    firing.swap(armed_);
    for (const CallBack& callBack : firing) {
        if (!callBack->disposed && (callBack->flags & triggerAtStop))
            callBack->procedure(callBack, callBack->refCon);
    }
}

void PlaybackClock::retire() {
    // Taking the lock waits out a callback that is running now.
    std::lock_guard lock(mutex_);
    retired_ = true;
    armed_.clear();
}

CallBack NewCallBack(TimeBase timeBase, short callBackType) {
    if (!timeBase || callBackType != callBackAtExtremes) return nullptr;
    auto callBack = std::make_shared<CallBackRecord>();
    callBack->timeBase = timeBase;
    callBack->type = callBackType;
    return callBack;
}

OSErr CallMeWhen(CallBack callBack, CallBackProc procedure, void* refCon, long flags, long, long) {
    if (!callBack || !procedure || !callBack->timeBase) return paramErr;
    if (!(flags & (triggerAtStart | triggerAtStop))) return paramErr;
    PlaybackClock& clock = *callBack->timeBase;
    std::lock_guard lock(clock.mutex_);
    if (clock.retired_) return badCallBackErr;
    callBack->procedure = procedure;
    callBack->refCon = refCon;
    callBack->flags = flags;
    clock.armed_.push_back(callBack);
    // A movie that ended before anyone listened still gets its end told.
    if (clock.atStop_ && (flags & triggerAtStop)) clock.armedAtStop();
    return noErr;
}

void DisposeCallBack(CallBack callBack) {
    // Only marked: the clock may be calling it right now, on its own thread.
    if (callBack) callBack->disposed = true;
}

Media GetTrackMedia(Track track) {
    setError(track ? noErr : invalidMedia);
    return track ? &track->media : nullptr;
}

TimeValue GetTrackDuration(Track track) { return track ? track->duration : 0; }

bool GetTrackEnabled(Track track) { return track && track->enabled; }

std::int64_t GetTrackDataSize(Track track, TimeValue startTime, TimeValue duration) {
    if (!track || track->duration <= 0 || duration <= 0) return 0;
    const std::int64_t start = std::clamp<std::int64_t>(startTime, 0, track->duration);
    const std::int64_t end = std::clamp<std::int64_t>(std::int64_t(startTime) + duration, 0, track->duration);
    if (start == 0 && end == track->duration) return track->dataSize;
    // A part of the track: its share of the bytes, as if the rate were steady.
    return static_cast<std::int64_t>(double(track->dataSize) * double(end - start) / double(track->duration));
}

void GetMediaSampleDescription(Media media, long index, SampleDescription* description) {
    if (!media || !description || index != 1) return;
    *description = media->description;
}

MediaHandler GetMediaHandler(Media media) {
    setError(media ? noErr : invalidMedia);
    return media;
}

void GetMediaHandlerDescription(Media media, OSType* mediaType, std::string* creatorName,
                                OSType* creatorManufacturer) {
    if (!media) return;
    if (mediaType) *mediaType = media->mediaType;
    if (creatorName) *creatorName = media->handlerCreatorName.substr(0, 255);
    if (creatorManufacturer) *creatorManufacturer = 0;
}

OSErr MediaHasCharacteristic(MediaHandler handler, OSType characteristic, bool* hasIt) {
    if (!handler || !hasIt) return setError(paramErr);
    *hasIt = hasCharacteristic(*handler, characteristic);
    return setError(noErr);
}

OSErr MediaGetPublicInfo(MediaHandler handler, OSType infoSelector, Fixed* value, long* size) {
    if (!handler || !value || !size || *size < long(sizeof(Fixed))) return setError(paramErr);
    if (infoSelector != kMPEGMediaGetPublicInfoFrameRate || !handler->hasEncodedFrameRate)
        return setError(paramErr);
    *value = handler->encodedFrameRate;
    *size = sizeof(Fixed);
    return setError(noErr);
}

long GetMediaSampleCount(Media media) {
    setError(media ? noErr : invalidMedia);
    return media ? media->sampleCount : 0;
}

TimeValue GetMediaDuration(Media media) {
    setError(media ? noErr : invalidMedia);
    return media ? media->duration : 0;
}

TimeScale GetMediaTimeScale(Media media) {
    setError(media ? noErr : invalidMedia);
    return media ? media->timeScale : 0;
}

Fixed X2Fix(double x) {
    if (std::isnan(x)) return 0;
    const double scaled = std::round(x * 65536.0);
    constexpr double lo = std::numeric_limits<Fixed>::min();
    constexpr double hi = std::numeric_limits<Fixed>::max();
    return static_cast<Fixed>(std::clamp(scaled, lo, hi));
}

double Fix2X(Fixed x) { return double(x) / 65536.0; }

int FixRound(Fixed x) {
    // Half rounds up; widened so the largest values do not overflow.
    return static_cast<int>((std::int64_t(x) + 0x8000) >> 16);
}

}  // namespace reel::toolbox
