#pragma once

namespace reel::platform {

// Hides the mouse pointer until the mouse next moves.
void hideCursorUntilMouseMoves();

}  // namespace reel::platform
