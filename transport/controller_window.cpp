#include "transport/controller_window.h"

#include <QApplication>
#include <QCloseEvent>

#include "platform/cursor.h"
#include "platform/window_levels.h"
#include "ui/full_screen_window.h"

namespace reel {

Fader::Behaviour ControllerWindow::controllerFades() {
    Fader::Behaviour behaviour;
    behaviour.showOnEveryTick = true;
    behaviour.fadedOut = [] {
        platform::hideCursorUntilMouseMoves();
        // The picture gets the keyboard back when the controller is gone.
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->metaObject() == &FullScreenWindow::staticMetaObject && window->isVisible()) {
                window->raise();
                window->activateWindow();
            }
        }
    };
    return behaviour;
}

ControllerWindow::ControllerWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool), fades_(this, controllerFades()) {
    autoHideTimer_.setSingleShot(true);
    autoHideTimer_.setInterval(kAutoHideMilliseconds);
    connect(&autoHideTimer_, &QTimer::timeout, this, &ControllerWindow::fadeOut);
    setMouseTracking(true);
}

void ControllerWindow::show() {
    if (fades_.alphaValue() == 0.0f) fadeIn();
}

void ControllerWindow::mouseMoved() {
    setVisible(true);
    autoHideTimer_.stop();
    if (platform::windowLevel(this) != platform::CGWindowLevelForKey(platform::kNormalWindowKey))
        autoHideTimer_.start();
}

void ControllerWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    fadeOut();
}

void ControllerWindow::mouseMoveEvent(QMouseEvent* event) {
    mouseMoved();
    QWidget::mouseMoveEvent(event);
}

}  // namespace reel
