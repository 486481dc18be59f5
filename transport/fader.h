#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

namespace reel {

// Fades one window in or out: its alpha moves by 0.1 every 0.05 seconds.
// The alpha is kept here in single precision, as the steps are counted, and
// shown as the window's opacity. Starting a fade stops the one running, so a
// window always ends in the state of the last fade asked for.
class Fader : public QObject {
    Q_OBJECT
public:
    struct Behaviour {
        bool showOnEveryTick = false;  // the controller window insists on being on screen
        bool hideWhenFadedOut = true;
        std::function<void()> fadeOutStarting;  // before the first step down
        std::function<void()> fadedOut;         // after the last
    };

    static constexpr int kTickMilliseconds = 50;
    static constexpr double kStep = 0.1;

    Fader(QWidget* window, Behaviour behaviour, QObject* parent = nullptr);

    void fadeIn();
    void fadeOut();
    bool fading() const { return timer_.isActive(); }
    // What steps the fade; a test fires it instead of waiting.
    QTimer& timer() { return timer_; }

    float alphaValue() const { return alpha_; }
    void setAlphaValue(float alpha);

private:
    void fadeInTick();
    void fadeOutTick();

    QWidget* window_;
    Behaviour behaviour_;
    QTimer timer_;
    float alpha_ = 1.0f;
};

}  // namespace reel
