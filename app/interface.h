#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/movie_view.h"

class QMainWindow;

namespace reel {

class AppController;
class DesktopControls;
class ControllerWindow;
class FadeWindow;
class PlayerMessages;

// The loaded interface: the three windows from their descriptions, the
// controller with its outlets connected and its actions wired, awake.
class Interface {
public:
    explicit Interface(MovieViewFactory makeMovieView = {});
    ~Interface();

    AppController& controller() { return *controller_; }
    QMainWindow& playlistWindow() { return *playlistWindow_; }
    ControllerWindow& controllerWindow() { return *controllerWindow_; }
    FadeWindow& viewerWindow() { return *viewerWindow_; }
    PlayerMessages& messages() { return *messages_; }
    DesktopControls& desktopControls() { return *desktopControls_; }

private:
    std::unique_ptr<PlayerMessages> messages_;
    std::unique_ptr<QMainWindow> playlistWindow_;
    std::unique_ptr<ControllerWindow> controllerWindow_;
    std::unique_ptr<FadeWindow> viewerWindow_;
    std::unique_ptr<AppController> controller_;
    std::unique_ptr<DesktopControls> desktopControls_;
};

// The desktop player: loads the interface, shows the playlist, adds the files
// named on the command line, and runs until the user quits. `launched` runs
// once launching is complete, just before the event loop takes over.
int runApplication(int& argc, char** argv, const std::vector<std::string>& files,
                   const std::function<void(Interface&)>& launched = {});

}  // namespace reel
