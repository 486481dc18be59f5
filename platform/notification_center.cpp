#include "platform/notification_center.h"

#include <algorithm>

namespace reel::platform {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(std::string_view name, Handler handler) {
    std::lock_guard lock(mutex_);
    observers_.push_back({nextId_, std::string(name), std::move(handler)});
    return nextId_++;
}

void NotificationCenter::removeObserver(ObserverId id) {
    std::lock_guard lock(mutex_);
    std::erase_if(observers_, [id](const Observer& o) { return o.id == id; });
}

void NotificationCenter::postNotificationName(std::string_view name, std::string_view object) {
    std::vector<Handler> handlers;
    {
        std::lock_guard lock(mutex_);
        for (const Observer& o : observers_) {
            if (o.name == name) handlers.push_back(o.handler);
        }
    }
    // Called outside the lock, so a handler may add or remove observers.
    const Notification note{std::string(name), std::string(object)};
    for (const Handler& handler : handlers) handler(note);
}

}  // namespace reel::platform
