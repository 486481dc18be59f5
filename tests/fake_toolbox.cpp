#include "fake_toolbox.h"

#include <cstring>

namespace reel::fake {

using namespace toolbox;

namespace {
OSType code(const char* text) {
    OSType value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | std::uint8_t(text[i]);
    return value;
}
}  // namespace

TrackRecord video(const VideoSpec& spec) {
    TrackRecord track;
    track.enabled = spec.enabled;
    track.duration = spec.duration;
    track.dataSize = spec.bytes;
    MediaRecord& media = track.media;
    media.mediaType = VideoMediaType;
    media.characteristics = {kCharacteristicHasVideoFrameRate, VisualMediaCharacteristic};
    media.timeScale = spec.scale;
    media.duration = spec.mediaDuration;
    media.sampleCount = spec.samples;
    media.handlerCreatorName = "Test Video Media Handler";
    media.description.dataFormat = code(spec.code);
    if (spec.vendor) media.description.vendor = code(spec.vendor);
    media.description.name[0] = std::uint8_t(spec.compressor.size());
    std::memcpy(media.description.name.data() + 1, spec.compressor.data(), spec.compressor.size());
    return track;
}

TrackRecord sound(const SoundSpec& spec) {
    TrackRecord track;
    track.enabled = spec.enabled;
    track.duration = spec.duration;
    track.dataSize = spec.bytes;
    MediaRecord& media = track.media;
    media.mediaType = SoundMediaType;
    media.characteristics = {AudioMediaCharacteristic};
    media.handlerCreatorName = "Test Sound Media Handler";
    media.description.dataFormat = code(spec.code);
    media.description.numChannels = std::int16_t(spec.channels);
    media.description.sampleRate = std::uint64_t(spec.rate * 65536.0);
    return track;
}

TrackRecord mpeg(const MpegSpec& spec) {
    TrackRecord track;
    track.enabled = spec.enabled;
    track.duration = 6000;
    track.dataSize = spec.bytes;
    MediaRecord& media = track.media;
    media.mediaType = MPEGMediaType;
    media.characteristics = {kCharacteristicHasVideoFrameRate, kCharacteristicIsMPEG};
    media.handlerCreatorName = spec.creator;
    media.hasEncodedFrameRate = spec.hasRate;
    media.encodedFrameRate = X2Fix(spec.rate);
    media.description.dataFormat = code(spec.code);
    return track;
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
