#include "ui/picture_keys.h"

#include <QKeyEvent>
#include <string>

#include "platform/log.h"

namespace reel {

bool logKeyAndCheckEscape(const QKeyEvent* event) {
    const QString characters = event->text();
    if (characters.isEmpty()) return false;  // no character: nothing to log, the window handles it
    const int code = characters.at(0).unicode();
    platform::log(std::to_string(code));
    return code == 27;
}

}  // namespace reel
