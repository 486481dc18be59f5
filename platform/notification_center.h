#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace reel::platform {

// Names posted between the parts of the player.
inline constexpr std::string_view kFastNotification = "Fast";
inline constexpr std::string_view kMovieFinishedNotification = "MovieFinished";
inline constexpr std::string_view kMovedNotification = "moved";

struct Notification {
    std::string name;
    std::string object;  // "Fast" carries its command word; the others nothing
};

// Posting calls every observer of the name synchronously, on the posting
// thread, before it returns.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;
    using ObserverId = int;

    static NotificationCenter& defaultCenter();

    ObserverId addObserver(std::string_view name, Handler handler);
    void removeObserver(ObserverId id);
    void postNotificationName(std::string_view name, std::string_view object = {});

private:
    struct Observer {
        ObserverId id;
        std::string name;
        Handler handler;
    };
    // Observers are added on the main thread while another thread may post.
    std::mutex mutex_;
    std::vector<Observer> observers_;
    ObserverId nextId_ = 1;
};

}  // namespace reel::platform
