#pragma once

#include <QObject>

class QWidget;

namespace reel {

// Space and Return are the player's keys everywhere (play/pause, view), but a
// button that has the keyboard focus takes them to press itself, as keyboard
// users expect. Installed on the buttons of a window.
class FocusedButtonKeys : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Watches every button inside the window.
    void watchButtonsOf(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace reel
