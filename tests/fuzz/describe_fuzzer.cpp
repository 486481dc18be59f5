// libFuzzer target: any bytes, described the way `reel --describe` describes a
// file, under every name the playlist accepts.
//
// The first byte is not part of the file: it picks the extension the bytes are
// described under, so one input can be tried as MPEG (.mpg, .mpeg) and as
// anything else without its own bytes changing. The seeds carry the byte that
// matches the file they were made from.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/describe_command.h"
#include "app/playlist_entry.h"
#include "media/cl_movie.h"
#include "platform/log.h"
#include "platform/movie_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    reel::platform::setLogEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string name =
        "fuzz." + std::string(reel::kAcceptedExtensions[data[0] % reel::kAcceptedExtensions.size()]);
    const reel::platform::OpenedMovie opened = reel::platform::openMovieBytes(data + 1, size - 1, name);
    // A file that is not described must say why: the playlist shows the reason.
    if (!opened.movie) {
        if (opened.error.empty()) std::abort();
        return 0;
    }
    const reel::CLMovie movie(opened.movie);
    reel::entryJson(reel::entryOf(name, movie));
    return 0;
}
