#include "platform/window_system.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <cstring>

namespace reel::platform {

WindowSystem chooseWindowSystem(const WindowSystemEnvironment& environment) {
    if (environment.userChose || !environment.wayland) return WindowSystem::AsGiven;
    return environment.x11 ? WindowSystem::XWayland : WindowSystem::Wayland;
}

WindowSystem chooseWindowSystem(int argc, char** argv) {
    WindowSystemEnvironment environment;
    environment.userChose = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            environment.userChose = true;
    }
    environment.wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    environment.x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const WindowSystem chosen = chooseWindowSystem(environment);
    // An X server that cannot be reached still leaves Wayland to fall back on.
    if (chosen == WindowSystem::XWayland) qputenv("QT_QPA_PLATFORM", "xcb;wayland");
    if (chosen == WindowSystem::Wayland) qputenv("QT_QPA_PLATFORM", "wayland");
    return chosen;
}

std::string windowSystemReport(WindowSystem chosen, const std::string& platformName) {
    const bool onWayland = platformName.rfind("wayland", 0) == 0;
    switch (chosen) {
        case WindowSystem::AsGiven:
            return {};
        case WindowSystem::XWayland:
            if (!onWayland) return "Wayland session: running through XWayland (" + platformName + ")";
            return "Wayland session: the X server did not answer, running on Wayland itself; windows show "
                   "and hide without fading and the compositor places them";
        case WindowSystem::Wayland:
            return "Wayland session without an X server: running on Wayland itself (" + platformName +
                   "); windows show and hide without fading and the compositor places them";
    }
    return {};
}

bool windowOpacityWorks() { return !QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

}  // namespace reel::platform

namespace reel::platform {

namespace {

class EmbeddedWindowsFollower : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWindow*>(watched);
        if (event->type() != QEvent::Expose || !window->isExposed()) return false;
        // After the top-level's own expose has been handled.
        QMetaObject::invokeMethod(
            this,
            [window = QPointer<QWindow>(window)] {
                if (!window || !window->isExposed()) return;
                for (QWindow* embedded : window->findChildren<QWindow*>(Qt::FindDirectChildrenOnly)) {
                    if (!embedded->isVisible() || embedded->isExposed()) continue;
                    embedded->setVisible(false);
                    embedded->setVisible(true);
                }
            },
            Qt::QueuedConnection);
        return false;
    }
};

}  // namespace

void showEmbeddedWindowsWithTheirParent(QWidget* window) {
    if (windowOpacityWorks() || !window) return;  // not Wayland
    (void)window->winId();                        // the top-level window exists from now on
    window->windowHandle()->installEventFilter(new EmbeddedWindowsFollower(window));
}

}  // namespace reel::platform
