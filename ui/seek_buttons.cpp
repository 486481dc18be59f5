#include "ui/seek_buttons.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/images.h"
#include "platform/log.h"

namespace reel {

SeekButton::SeekButton(const Words& words, QWidget* parent) : QPushButton(parent), words_(words) {
    holdTimer_.setSingleShot(true);
    holdTimer_.setInterval(kHoldMilliseconds);
    connect(&holdTimer_, &QTimer::timeout, this, &SeekButton::holdBegan);
}

void SeekButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QPushButton::mousePressEvent(event);
    setDown(true);
    held_ = false;
    holdTimer_.start();
}

// Dragging while the button decides neither ends the wait nor un-presses it.
void SeekButton::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

void SeekButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QPushButton::mouseReleaseEvent(event);
    setDown(false);
    if (holdTimer_.isActive()) {
        // Let go within the half second, wherever the pointer is now: a click.
        holdTimer_.stop();
        emit command(words_.click);
        if (words_.logsClick) platform::log("Click once");
    } else if (held_) {
        held_ = false;
        emit command(FastCommand::Play);
    }
}

void SeekButton::holdBegan() {
    held_ = true;
    emit command(words_.hold);
    platform::log("Mouse being held down");
}

void SeekButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    QPainter painter(this);
    const QIcon icon = platform::imageNamed(QString::fromLatin1(words_.icon));
    const QSize size = icon.actualSize(QSize(22, 16));
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    icon.paint(&painter, target);
}

RWButton::RWButton(QWidget* parent)
    : SeekButton({"back.png", FastCommand::Previous, FastCommand::Rewind, false}, parent) {}

FFButton::FFButton(QWidget* parent)
    : SeekButton({"forward.png", FastCommand::Next, FastCommand::Forward, true}, parent) {}

}  // namespace reel
