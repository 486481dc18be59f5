#pragma once

#include "app/player_entry.h"

namespace reel {

// The player as the desktop starts it: chooses the window system, loads the
// interface, opens its own files, then takes files from other Reels, and
// runs until the user quits.
int runDesktopPlayer(const PlayerStart& start);

}  // namespace reel
