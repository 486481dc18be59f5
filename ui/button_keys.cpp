#include "ui/button_keys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

namespace reel {

namespace {

bool isPressKey(const QKeyEvent* key) {
    if (key->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) return false;
    return key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

void FocusedButtonKeys::watchButtonsOf(QWidget* window) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) button->installEventFilter(this);
}

bool FocusedButtonKeys::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button || !button->hasFocus() || !button->isEnabled()) return false;
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (!isPressKey(key)) return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Accepting it keeps the application-wide shortcut from taking the key.
        event->accept();
        return true;
    }
    // Space presses and releases the button by itself; Return is only taken
    // by buttons in dialogs, so it is a click here.
    if (key->key() == Qt::Key_Space) return false;
    if (!key->isAutoRepeat()) button->click();
    return true;
}

}  // namespace reel
