#pragma once

#include "app/player_entry.h"

namespace reel {

class Interface;

// What the windows need of the window system they run on (on Wayland: the
// picture shown again once its window is on screen).
void fitToWindowSystem(Interface& ui);

// The player as the desktop starts it: chooses the window system, loads the
// interface, opens its own files, then takes files from other Reels, and
// runs until the user quits.
int runDesktopPlayer(const PlayerStart& start);

}  // namespace reel
