#include "app/player_entry.h"

#include "app/describe_command.h"
#include "app/desktop_player.h"

// The player library's two doors, looked up by name.
extern "C" {

__attribute__((visibility("default"))) int reel_run_player(const reel::PlayerStart* start) {
    return reel::runDesktopPlayer(*start);
}

__attribute__((visibility("default"))) int reel_describe(const reel::DescribeStart* start) {
    reel::DescribeOptions options;
    options.timing = start->timing;
    options.verbose = start->verbose;
    options.tracks = start->tracks;
    return reel::describeFiles(start->files, options, reel::fileOpener());
}
}
