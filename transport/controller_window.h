#pragma once

#include <QTimer>
#include <QWidget>

#include "transport/fader.h"

namespace reel {

// The floating controller window. In full screen it hides itself five
// seconds after the mouse last moved over it, and comes back when the mouse
// moves over the picture.
class ControllerWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kAutoHideMilliseconds = 5000;

    explicit ControllerWindow(QWidget* parent = nullptr);

    void fadeIn() { fades_.fadeIn(); }
    void fadeOut() { fades_.fadeOut(); }
    float alphaValue() const { return fades_.alphaValue(); }
    Fader& fades() { return fades_; }

    // The mouse moved over the picture: a faded-out controller fades back in.
    // Hides QWidget::show on purpose; the window is only ever shown by fading.
    void show();
    // The mouse moved over the window (or full screen began): on screen,
    // and above the normal level, hide again after a rest.
    void mouseMoved();
    // Running while a hide is due; a test fires it instead of waiting.
    QTimer& autoHideTimer() { return autoHideTimer_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    static Fader::Behaviour controllerFades();

    Fader fades_;
    QTimer autoHideTimer_;
};

}  // namespace reel
