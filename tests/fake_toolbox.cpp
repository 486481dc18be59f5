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

TrackRecord video(const VideoSpec& want) {
    TrackRecord track;
    track.enabled = want.enabled;
    track.duration = want.duration;
    track.dataSize = want.bytes;
    MediaRecord& media = track.media;
    media.mediaType = VideoMediaType;
    media.characteristics = {kCharacteristicHasVideoFrameRate, VisualMediaCharacteristic};
    media.timeScale = want.scale;
    media.duration = want.mediaDuration;
    media.sampleCount = want.samples;
    media.handlerCreatorName = "Test Video Media Handler";
    media.description.dataFormat = code(want.code);
    if (want.vendor) media.description.vendor = code(want.vendor);
    media.description.name[0] = std::uint8_t(want.compressor.size());
    std::memcpy(media.description.name.data() + 1, want.compressor.data(), want.compressor.size());
    return track;
}

TrackRecord sound(const SoundSpec& want) {
    TrackRecord track;
    track.enabled = want.enabled;
    track.duration = want.duration;
    track.dataSize = want.bytes;
    MediaRecord& media = track.media;
    media.mediaType = SoundMediaType;
    media.characteristics = {AudioMediaCharacteristic};
    media.handlerCreatorName = "Test Sound Media Handler";
    media.description.dataFormat = code(want.code);
    media.description.numChannels = std::int16_t(want.channels);
    media.description.sampleRate = std::uint64_t(want.rate * 65536.0);
    return track;
}

TrackRecord mpeg(const MpegSpec& want) {
    TrackRecord track;
    track.enabled = want.enabled;
    track.duration = 6000;
    track.dataSize = want.bytes;
    MediaRecord& media = track.media;
    media.mediaType = MPEGMediaType;
    media.characteristics = {kCharacteristicHasVideoFrameRate, kCharacteristicIsMPEG};
    media.handlerCreatorName = want.creator;
    media.hasEncodedFrameRate = want.hasRate;
    media.encodedFrameRate = X2Fix(want.rate);
    media.description.dataFormat = code(want.code);
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
