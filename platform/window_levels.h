#pragma once

class QWidget;

namespace reel::platform {

// Window levels, higher in front. X11 has three layers (below, normal,
// above); levels map onto them and, within the layer above, the window
// raised last is in front.
constexpr int kBackstopMenuKey = 3;
constexpr int kNormalWindowKey = 4;
constexpr int kFullScreenLevel = 26;

// The standard level for a key: 3 is the backstop menu (-20), 4 normal (0).
int CGWindowLevelForKey(int key);

int windowLevel(const QWidget* window);
void setWindowLevel(QWidget* window, int level);

}  // namespace reel::platform
