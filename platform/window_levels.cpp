#include "platform/window_levels.h"

#include <QVariant>
#include <QWidget>
#include <QWindow>

namespace reel::platform {

namespace {
constexpr const char* kLevelProperty = "reelWindowLevel";
}

int CGWindowLevelForKey(int key) {
    switch (key) {
        case kBackstopMenuKey:
            return -20;
        default:
            return 0;
    }
}

int windowLevel(const QWidget* window) { return window->property(kLevelProperty).toInt(); }

void setWindowLevel(QWidget* window, int level) {
    window->setProperty(kLevelProperty, level);
    const Qt::WindowFlags before = window->windowFlags();
    Qt::WindowFlags flags = before & ~(Qt::WindowStaysOnTopHint | Qt::WindowStaysOnBottomHint);
    if (level > 0) flags |= Qt::WindowStaysOnTopHint;
    if (level < 0) flags |= Qt::WindowStaysOnBottomHint;
    if (flags != before) {
        // The layer changes in place. QWidget::setWindowFlags would make the
        // window anew, taking the native windows inside it (the movie's picture,
        // drawn by OpenGL) to a new parent window, which software OpenGL does
        // not survive; and it would take the window off the screen meanwhile.
        window->overrideWindowFlags(flags);
        if (QWindow* handle = window->windowHandle()) handle->setFlags(flags);
    }
    if (level > 0 && window->isVisible()) window->raise();
}

}  // namespace reel::platform
