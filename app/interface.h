#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/movie_view.h"

class QMainWindow;
class QMenu;

namespace reel {

class AppController;
class DesktopControls;
class ControllerWindow;
class FadeWindow;
class PlayerMessages;
class RecentMenu;
class ResumeKeeper;
namespace platform {
class HistoryStore;
}

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

    // Remembers, in the history database in the folder, where movies were
    // left and what was opened last (File > Open Recent); resumes movies as
    // the preference says.
    void keepHistory(const QString& folder);
    platform::HistoryStore* history() { return history_.get(); }
    ResumeKeeper* resume() { return resume_.get(); }
    RecentMenu* recentMenu() { return recent_.get(); }

private:
    std::unique_ptr<PlayerMessages> messages_;
    std::unique_ptr<QMainWindow> playlistWindow_;
    std::unique_ptr<ControllerWindow> controllerWindow_;
    std::unique_ptr<FadeWindow> viewerWindow_;
    std::unique_ptr<AppController> controller_;
    std::unique_ptr<DesktopControls> desktopControls_;
    QMenu* recentMenuOutlet_ = nullptr;
    std::unique_ptr<platform::HistoryStore> history_;
    std::unique_ptr<ResumeKeeper> resume_;
    std::unique_ptr<RecentMenu> recent_;
};

// The desktop player: loads the interface, shows the playlist, adds the files
// named on the command line, and runs until the user quits. `launched` runs
// once launching is complete, just before the event loop takes over.
int runApplication(int& argc, char** argv, const std::vector<std::string>& files,
                   const std::function<void(Interface&)>& launched = {});

}  // namespace reel
