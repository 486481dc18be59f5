#include "app/playlist_entry.h"

#include <algorithm>

#include "media/hms_format.h"

namespace reel {

std::string upperExtension(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = last.rfind('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string_view::npos || dot == 0) return {};
    std::string ext(last.substr(dot + 1));
    for (char& c : ext) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return ext;
}

bool isAcceptedExtension(std::string_view upperExt) {
    return std::find(kAcceptedExtensions.begin(), kAcceptedExtensions.end(), upperExt) !=
           kAcceptedExtensions.end();
}

MovieOpener fileOpener() {
    return
        [](const std::string& path, std::string* whyNot) { return CLMovie::initWithURL(path, true, whyNot); };
}

EntryOutcome buildEntry(const std::string& path, const MovieOpener& open) {
    const std::string ext = upperExtension(path);
    if (!isAcceptedExtension(ext)) {
        EntryOutcome skipped;
        skipped.skipReason = ext.empty() ? "no file extension" : "." + ext + " is not a movie extension";
        skipped.wrongExtension = true;
        return skipped;
    }

    std::string whyNot;
    const std::unique_ptr<CLMovie> mov = open(path, &whyNot);
    if (!mov) return {std::nullopt, whyNot.empty() ? "cannot be opened" : whyNot};
    return {entryOf(path, *mov), {}};
}

EntryRecord unviewableEntry(const std::string& path, const std::string& title, double seconds,
                            const std::string& problem) {
    EntryRecord record;
    record.name = path;
    record.title = title;
    if (seconds >= 0 && seconds < 1e12) {  // beyond that a playlist's length is nonsense
        record.seconds = CLHMSFormat::decimal(long(seconds));
        record.length = CLHMSFormat::HMSFormat(record.seconds);
    }
    record.problem = problem.empty() ? "cannot be viewed" : problem;
    return record;
}

EntryRecord entryOf(const std::string& path, const CLMovie& mov) {
    const std::string ext = upperExtension(path);
    const std::string size = mov.originalSizeToAspect();
    const std::string originalSize = mov.originalSizeToAspect();
    EntryRecord record;
    record.rate = mov.getNewFps();
    record.name = path;
    record.standard = record.rate == "25" ? "PAL" : "NTSC";
    if (ext == "MPG" || ext == "MPEG") {
        record.type = mov.videoInfoMPG();
        record.audioType = mov.audioTypeMPG();
    } else {
        record.type = mov.videoInfoOther();
        record.audioType = mov.audioType();
    }
    record.length = mov.durationString();
    record.seconds = mov.durationSecondsString();
    record.size = size;
    record.originalSize = originalSize;
    if (mov.record()) record.tracks = mov.record()->streams;
    return record;
}

}  // namespace reel
