#include "platform/window_levels.h"

#include <QVariant>
#include <QWidget>

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
        // Changing a window's flags takes it off the screen; put it back as it was.
        const bool visible = window->isVisible();
        window->setWindowFlags(flags);
        if (visible) window->setVisible(true);
    }
    if (level > 0 && window->isVisible()) window->raise();
}

}  // namespace reel::platform
