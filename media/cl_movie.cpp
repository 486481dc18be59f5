#include "media/cl_movie.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

#include "media/hms_format.h"
#include "platform/log.h"
#include "platform/movie_file.h"

namespace reel {

using namespace toolbox;

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// Integer division that gives 0 instead of trapping on a zero divisor.
template <typename T>
T safeDivide(T numerator, T denominator) {
    if (denominator == 0) return 0;
    if (denominator == -1 && numerator == std::numeric_limits<T>::min()) return std::numeric_limits<T>::max();
    return numerator / denominator;
}

struct Size {
    float width = 0;
    float height = 0;
};

Size naturalSize(Movie movie) {
    Rect bounds;
    GetMovieNaturalBoundsRect(movie, &bounds);
    return {float(int(bounds.right) - int(bounds.left)), float(int(bounds.bottom) - int(bounds.top))};
}

// IEEE division spelled out: 0/0 is nan and x/0 infinite, as the size text shows them.
float ratio(Size size) {
    if (size.height != 0) return size.width / size.height;
    if (size.width == 0) return std::numeric_limits<float>::quiet_NaN();
    return size.width > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
}

std::string sizeText(Size size) { return format("%.0fx%.0f", double(size.width), double(size.height)); }

SampleDescription firstDescription(Track track) {
    SampleDescription description{};
    if (track) GetMediaSampleDescription(GetTrackMedia(track), 1, &description);
    return description;
}

std::int64_t wholeTrackSize(Track track) { return GetTrackDataSize(track, 0, GetTrackDuration(track)); }

// Whole seconds of a track in the movie's time scale.
std::int64_t wholeSeconds(Movie movie, Track track) {
    return safeDivide<std::int64_t>(GetTrackDuration(track), GetMovieTimeScale(movie));
}

// The compressor name of an image description: the characters after the
// length byte, up to the first zero byte.
std::string compressorName(const SampleDescription& description) {
    std::string name;
    for (std::size_t i = 1; i < description.name.size() && description.name[i] != 0; ++i)
        name.push_back(char(description.name[i]));
    return name;
}

// Of the tracks of a media type, the one holding the most data; of equal
// tracks the first, and an empty track never.
Track largestTrack(Movie movie, OSType mediaType, bool enabledOnly) {
    Track chosen = nullptr;
    std::int64_t largest = 0;
    for (long index = 1;; ++index) {
        Track track = GetMovieIndTrackType(movie, index, mediaType, movieTrackMediaType);
        if (!track) break;
        const std::int64_t size = wholeTrackSize(track);
        if ((!enabledOnly || GetTrackEnabled(track)) && size > largest) {
            chosen = track;
            largest = size;
        }
    }
    return chosen;
}

constexpr double kNtscFilm = 24000.0 / 1001.0;
constexpr double kNtscVideo = 30000.0 / 1001.0;
// Close enough to an NTSC rate to be one: the encoded 16.16 value of
// 24000/1001 is off by 1e-5, a measured one by a little more.
constexpr double kNtscTolerance = 0.006;

}  // namespace

Track GetBiggestTrack(Movie movie, OSType mediaType) {
    return movie ? largestTrack(movie, mediaType, false) : nullptr;
}

CLMovie::CLMovie(std::shared_ptr<MovieRecord> movie) : movie_(std::move(movie)) {}

std::unique_ptr<CLMovie> CLMovie::initWithURL(const std::string& path, bool, std::string* whyNot) {
    auto opened = platform::openMovieFile(path);
    if (!opened.movie) {
        if (whyNot) *whyNot = opened.error;
        return nullptr;
    }
    return std::make_unique<CLMovie>(std::move(opened.movie));
}

// ---- Timing

long CLMovie::timeScale() const { return GetMovieTimeScale(record()); }

long CLMovie::duration() const { return GetMovieDuration(record()); }

long CLMovie::time() const { return GetMovieTime(record(), nullptr); }

long CLMovie::currentSeconds() const { return safeDivide(time(), timeScale()); }

long CLMovie::durationSeconds() const { return safeDivide(duration(), timeScale()); }

std::string CLMovie::durationSecondsString() const { return CLHMSFormat::decimal(durationSeconds()); }

std::string CLMovie::currentTime() const {
    return CLHMSFormat::HMSFormat(CLHMSFormat::decimal(currentSeconds()));
}

std::string CLMovie::durationString() const {
    return CLHMSFormat::HMSFormat(CLHMSFormat::decimal(safeDivide(duration(), timeScale())));
}

std::string CLMovie::timeString() const { return CLHMSFormat::decimal(time()); }

std::string CLMovie::timeScaleString() const { return CLHMSFormat::decimal(timeScale()); }

void CLMovie::setMovieAtTime(long seconds) {
    // In double, so that no number of seconds can overflow on the way to a time value.
    const double value = double(seconds) * double(timeScale());
    constexpr double lo = std::numeric_limits<TimeValue>::min();
    constexpr double hi = std::numeric_limits<TimeValue>::max();
    SetMovieTimeValue(record(), static_cast<TimeValue>(std::clamp(value, lo, hi)));
    MoviesTask(record(), 0);
}

// ---- Picture

std::string CLMovie::originalSizeToAspect() const {
    const Size size = naturalSize(record());
    return format("%.0fx%.0f Aspect: %1.4f", double(size.width), double(size.height), double(ratio(size)));
}

std::string CLMovie::originalSize() const { return sizeText(naturalSize(record())); }

float CLMovie::aspect() const { return ratio(naturalSize(record())); }

std::string CLMovie::size() const {
    const std::string text = originalSize();
    const bool pal = getNewFps() == "25";
    struct Row {
        std::string_view from, pal, ntsc;
    };
    static constexpr Row rows[] = {
        {"320x240", "352x288", "352x240"},
        {"480x360", "480x576", "480x480"},
        {"640x480", "720x576", "720x480"},
    };
    for (const Row& row : rows) {
        if (text == row.from) return std::string(pal ? row.pal : row.ntsc);
    }
    return text;
}

// ---- Frame rate

std::string CLMovie::getNewFps() const {
    Movie movie = record();
    double rate = 0;

    Track track = GetMovieIndTrackType(movie, 1, kCharacteristicHasVideoFrameRate, movieTrackCharacteristic);
    GetMoviesError();
    Media media = GetTrackMedia(track);
    GetMoviesError();
    MediaHandler handler = GetMediaHandler(media);
    GetMoviesError();

    bool isMPEG = false;
    if (MediaHasCharacteristic(handler, kCharacteristicIsMPEG, &isMPEG) == noErr && isMPEG) {
        MoviesTask(movie, 0);
        Fixed encoded = 0;
        long size = sizeof encoded;
        if (MediaGetPublicInfo(handler, kMPEGMediaGetPublicInfoFrameRate, &encoded, &size) == noErr)
            rate = Fix2X(encoded);
    } else {
        const long count = GetMediaSampleCount(media);
        GetMoviesError();
        if (count != 0) {
            const TimeValue mediaDuration = GetMediaDuration(media);
            GetMoviesError();
            const TimeScale scale = GetMediaTimeScale(media);
            GetMoviesError();
            // A media with samples but no duration has no rate to speak of.
            if (mediaDuration != 0)
                rate = Fix2X(X2Fix(double(count) * double(scale) / double(mediaDuration)));
        }
    }

    const int whole = FixRound(X2Fix(rate));
    // Only the NTSC rates are shown with their fraction; an exact 24 or 30 stays whole.
    if (whole == 24 && std::fabs(rate - kNtscFilm) <= kNtscTolerance) return "23.976";
    if (whole == 30 && std::fabs(rate - kNtscVideo) <= kNtscTolerance) return "29.970";
    return format("%.0f", double(whole));
}

std::string CLMovie::fps() const {
    Movie movie = record();
    const TimeValue start = GetMovieDuration(movie) / 2;
    const std::int64_t end = std::int64_t(start) + 5 * std::int64_t(GetMovieTimeScale(movie));
    const OSType types[] = {VideoMediaType};
    TimeValue at = -1;
    GetMovieNextInterestingTime(movie, nextTimeMediaSample | nextTimeEdgeOK, 1, types, start, 0, &at,
                                nullptr);
    int count = 0;
    while (at != -1 && at <= end) {
        ++count;
        GetMovieNextInterestingTime(movie, nextTimeMediaSample, 1, types, at, 0, &at, nullptr);
    }
    return format("%i", count / 5);
}

// ---- Video format

std::string CLMovie::stringFromCode(std::uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

std::string CLMovie::videoInfoOther() const {
    Track chosen = largestTrack(record(), VideoMediaType, true);
    if (!chosen) chosen = largestTrack(record(), MPEGMediaType, true);
    if (!chosen) return "none";

    const std::string code = stringFromCode(firstDescription(chosen).dataFormat);
    struct Name {
        std::string_view code, name;
    };
    static constexpr Name names[] = {
        {"m1s ", "MPEG-1"}, {"mp4v", "MPEG-4"},     {"DX50", "DIVX-5"},
        {"DIV3", "DIVX-3"}, {"SVQ3", "Sorenson 3"},
    };
    for (const Name& entry : names) {
        if (code == entry.code) return std::string(entry.name);
    }
    return code;
}

std::string CLMovie::videoInfoMPG() const {
    std::string creator;
    GetMediaHandlerDescription(GetTrackMedia(GetMovieIndTrack(record(), 1)), nullptr, &creator, nullptr);
    // The second blank-separated word names what the handler plays.
    const std::size_t first = creator.find(' ');
    if (first == std::string::npos) return "none";
    const std::size_t second = creator.find(' ', first + 1);
    const std::string word =
        creator.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (word.empty()) return "none";
    return word == "MPEG" ? "MPEG-1" : word;
}

// ---- Audio format

std::string CLMovie::audioType() const {
    Movie movie = record();
    using CLHMSFormat::decimal;

    Track video = GetBiggestTrack(movie, VideoMediaType);
    const SampleDescription image = firstDescription(video);
    platform::log("vCodec: " + compressorName(image));
    platform::log("vFourCC: " + stringFromCode(image.dataFormat));
    platform::log("vVendor: " + stringFromCode(image.vendor));
    platform::log(
        "Bitrate: " +
        decimal(long(safeDivide<std::int64_t>(wholeTrackSize(video), wholeSeconds(movie, video)) / 1024)));

    Track sound = GetBiggestTrack(movie, SoundMediaType);
    const SampleDescription audio = firstDescription(sound);
    const auto sampleRate = static_cast<long>(audio.sampleRate >> 16);
    const std::string code = stringFromCode(audio.dataFormat);
    platform::log("aChannels: " + decimal(audio.numChannels));
    platform::log("sampleRate: " + decimal(sampleRate));
    platform::log("aCodec: " + code);
    platform::log("aBitrate: " + decimal(long(safeDivide<std::int64_t>(wholeTrackSize(sound) * 8,
                                                                       wholeSeconds(movie, sound)) /
                                              1024)));

    // A movie without sound says so rather than describing an empty track.
    if (!sound) return "none";

    std::string result;
    if (code == ".mp3")
        result = "MPEG Layer-3, ";
    else if (code == "QDM2")
        result = "QDesign Music, ";
    else
        result = code + ", ";
    if (audio.numChannels == 1)
        result += "Mono, ";
    else if (audio.numChannels == 2)
        result += "Stereo, ";
    else
        result += decimal(audio.numChannels) + " channels, ";
    return result + decimal(sampleRate) + " Hz";
}

std::string CLMovie::audioTypeMPG() const {
    const std::string code =
        stringFromCode(firstDescription(GetBiggestTrack(record(), MPEGMediaType)).dataFormat);
    if (code == "m1s ") return "MPEG1 Muxed";
    if (code.empty()) return "Unknown";
    return code;
}

}  // namespace reel
