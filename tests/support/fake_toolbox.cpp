#include "support/fake_toolbox.h"

#include <cstring>

namespace reel::fake {

using namespace toolbox;

namespace {

OSType code(const char* text) {
    OSType value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | std::uint8_t(text[i]);
    return value;
}

// What every kind of track has: its kind, its format's code and the handler that reads it.
TrackRecord track(bool enabled, TimeValue duration, std::int64_t bytes, OSType type,
                  std::vector<OSType> characteristics, const char* format, std::string handler) {
    TrackRecord track;
    track.enabled = enabled;
    track.duration = duration;
    track.dataSize = bytes;
    track.media.mediaType = type;
    track.media.characteristics = std::move(characteristics);
    track.media.handlerCreatorName = std::move(handler);
    track.media.description.dataFormat = code(format);
    return track;
}

}  // namespace

TrackRecord video(const VideoSpec& want) {
    TrackRecord t = track(want.enabled, want.duration, want.bytes, VideoMediaType,
                          {kCharacteristicHasVideoFrameRate, VisualMediaCharacteristic}, want.code,
                          "Test Video Media Handler");
    MediaRecord& media = t.media;
    media.timeScale = want.scale;
    media.duration = want.mediaDuration;
    media.sampleCount = want.samples;
    if (want.vendor) media.description.vendor = code(want.vendor);
    media.description.name[0] = std::uint8_t(want.compressor.size());
    std::memcpy(media.description.name.data() + 1, want.compressor.data(), want.compressor.size());
    return t;
}

TrackRecord sound(const SoundSpec& want) {
    TrackRecord t = track(want.enabled, want.duration, want.bytes, SoundMediaType, {AudioMediaCharacteristic},
                          want.code, "Test Sound Media Handler");
    t.media.description.numChannels = std::int16_t(want.channels);
    t.media.description.sampleRate = std::uint64_t(want.rate * 65536.0);
    return t;
}

TrackRecord mpeg(const MpegSpec& want) {
    TrackRecord t = track(want.enabled, 6000, want.bytes, MPEGMediaType,
                          {kCharacteristicHasVideoFrameRate, kCharacteristicIsMPEG}, want.code, want.creator);
    t.media.hasEncodedFrameRate = want.hasRate;
    t.media.encodedFrameRate = X2Fix(want.rate);
    return t;
}

std::shared_ptr<MovieRecord> movie(std::vector<TrackRecord> tracks, int width, int height, TimeValue duration,
                                   TimeScale scale) {
    auto record = std::make_shared<MovieRecord>();
    record->tracks = std::move(tracks);
    record->naturalBounds = Rect{0, 0, std::int16_t(height), std::int16_t(width)};
    record->duration = duration;
    record->timeScale = scale;
    return record;
}

CLMovie clMovie(std::vector<TrackRecord> tracks, int width, int height) {
    return CLMovie(movie(std::move(tracks), width, height));
}

}  // namespace reel::fake
