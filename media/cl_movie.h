#pragma once

#include <memory>
#include <string>

#include "platform/toolbox.h"

namespace reel {

// The track of a media type that holds the most sample data, disabled tracks
// included; of equal tracks the first. Null when none holds any data.
toolbox::Track GetBiggestTrack(toolbox::Movie movie, toolbox::OSType mediaType);

// A movie file as the player describes and plays it. Holds no state of its
// own: every answer is asked of the toolbox afresh.
class CLMovie {
public:
    explicit CLMovie(std::shared_ptr<toolbox::MovieRecord> movie);

    // Opens a movie file in place. Null, with the reason in whyNot, when the
    // file is not a movie that can be described.
    static std::unique_ptr<CLMovie> initWithURL(const std::string& path, bool byReference,
                                                std::string* whyNot = nullptr);

    toolbox::Movie record() const { return movie_.get(); }
    const std::shared_ptr<toolbox::MovieRecord>& sharedRecord() const { return movie_; }

    // Timing
    long timeScale() const;
    long duration() const;
    long time() const;
    long currentSeconds() const;
    long durationSeconds() const;
    std::string durationSecondsString() const;
    std::string currentTime() const;
    std::string durationString() const;
    std::string timeString() const;
    std::string timeScaleString() const;
    void setMovieAtTime(long seconds);

    // Picture
    std::string originalSizeToAspect() const;
    std::string originalSize() const;
    float aspect() const;
    std::string size() const;

    // Frame rate
    std::string getNewFps() const;
    std::string fps() const;

    // Video format
    std::string videoInfoOther() const;
    std::string videoInfoMPG() const;
    static std::string stringFromCode(std::uint32_t code);

    // Audio format
    std::string audioType() const;
    std::string audioTypeMPG() const;

private:
    std::shared_ptr<toolbox::MovieRecord> movie_;
};

}  // namespace reel
