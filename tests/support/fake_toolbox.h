#pragma once

// Hand-built movie layouts, including ones no encoder makes (two video tracks
// of chosen sizes, disabled tracks, odd codes), for testing the descriptions.

#include <memory>
#include <string>
#include <vector>

#include "media/cl_movie.h"
#include "platform/toolbox.h"

namespace reel::fake {

struct VideoSpec {
    const char* code = "avc1";
    std::int64_t bytes = 1000;
    bool enabled = true;
    long samples = 0;
    toolbox::TimeScale scale = 600;
    toolbox::TimeValue mediaDuration = 0;
    std::string compressor = {};
    const char* vendor = nullptr;
    toolbox::TimeValue duration = 6000;  // movie units
};

struct SoundSpec {
    const char* code = ".mp3";
    std::int64_t bytes = 1000;
    int channels = 2;
    double rate = 44100;
    bool enabled = true;
    toolbox::TimeValue duration = 6000;
};

struct MpegSpec {
    const char* code = "m1s ";
    std::int64_t bytes = 1000;
    bool enabled = true;
    std::string creator = "Test MPEG Media Handler";
    bool hasRate = true;
    double rate = 25.0;
};

toolbox::TrackRecord video(const VideoSpec& want);
toolbox::TrackRecord sound(const SoundSpec& want);
toolbox::TrackRecord mpeg(const MpegSpec& want);

// A movie at time scale 600 with the given tracks and picture size.
std::shared_ptr<toolbox::MovieRecord> movie(std::vector<toolbox::TrackRecord> tracks, int width = 640,
                                            int height = 480, toolbox::TimeValue duration = 6000,
                                            toolbox::TimeScale scale = 600);

CLMovie clMovie(std::vector<toolbox::TrackRecord> tracks, int width = 640, int height = 480);

}  // namespace reel::fake
