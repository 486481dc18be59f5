#include "transport/fader.h"

#include <QWidget>

#include "platform/window_system.h"

namespace reel {

Fader::Fader(QWidget* window, Behaviour behaviour, QObject* parent)
    : QObject(parent), window_(window), behaviour_(std::move(behaviour)) {
    timer_.setInterval(kTickMilliseconds);
}

void Fader::setAlphaValue(float alpha) {
    alpha_ = alpha;
    if (platform::windowOpacityWorks()) window_->setWindowOpacity(qBound(0.0, double(alpha), 1.0));
}

void Fader::fadeIn() {
    timer_.stop();
    timer_.disconnect();
    setAlphaValue(0.0f);
    window_->setVisible(true);
    connect(&timer_, &QTimer::timeout, this, &Fader::fadeInTick);
    timer_.start();
    // A window that cannot be see-through is simply shown: the fade ends at once.
    if (!platform::windowOpacityWorks())
        while (timer_.isActive()) fadeInTick();
}

void Fader::fadeOut() {
    timer_.stop();
    timer_.disconnect();
    if (behaviour_.fadeOutStarting) behaviour_.fadeOutStarting();
    connect(&timer_, &QTimer::timeout, this, &Fader::fadeOutTick);
    timer_.start();
    if (!platform::windowOpacityWorks())
        while (timer_.isActive()) fadeOutTick();
}

void Fader::fadeInTick() {
    if (behaviour_.showOnEveryTick) window_->setVisible(true);
    if (alpha_ >= 1.0f) {
        timer_.stop();
        setAlphaValue(1.0f);
        return;
    }
    setAlphaValue(float(double(alpha_) + kStep));
}

void Fader::fadeOutTick() {
    if (alpha_ > 0.0f) {
        setAlphaValue(float(double(alpha_) - kStep));
        return;
    }
    timer_.stop();
    if (behaviour_.hideWhenFadedOut) window_->setVisible(false);
    setAlphaValue(0.0f);
    if (behaviour_.fadedOut) behaviour_.fadedOut();
}

}  // namespace reel
