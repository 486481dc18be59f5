#pragma once

#include <string>

namespace reel::platform {

// Which of Qt's platforms the player's windows go through. Under a Wayland
// session Reel prefers XWayland: the floating controller, window placement,
// levels and fades need what X11 gives. With no X server it runs on Wayland
// itself, where windows are shown whole or not at all and the compositor
// places them. A platform the user chose is left alone.
enum class WindowSystem {
    AsGiven,   // not a Wayland session, or the user chose
    XWayland,  // X11 windows on the Wayland session's X server
    Wayland,   // Wayland's own windows
};

struct WindowSystemEnvironment {
    bool userChose = false;  // QT_QPA_PLATFORM set, or a -platform argument
    bool wayland = false;    // WAYLAND_DISPLAY set
    bool x11 = false;        // DISPLAY set
};

WindowSystem chooseWindowSystem(const WindowSystemEnvironment& environment);

// Before the application object: reads the environment and the arguments
// Qt will see, and sets QT_QPA_PLATFORM for the choice.
WindowSystem chooseWindowSystem(int argc, char** argv);

// Once the application object exists: the log line that says what was
// chosen and what Qt runs on; empty when nothing was chosen.
std::string windowSystemReport(WindowSystem chosen, const std::string& platformName);

// Whether a window can be partly see-through here, so that fading it shows.
bool windowOpacityWorks();

}  // namespace reel::platform

class QWidget;

namespace reel::platform {

// On Wayland, a window embedded in another (the picture in the viewer) is
// shown on screen only if its parent already was when it was shown; this
// shows such windows again once their top-level window is on screen. Does
// nothing on other platforms.
void showEmbeddedWindowsWithTheirParent(QWidget* window);

}  // namespace reel::platform
