#include "platform/cursor.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>

namespace reel::platform {

namespace {

class ShowOnMove : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::HoverMove) restore();
        return false;
    }
    void restore() {
        if (!hidden) return;
        hidden = false;
        QGuiApplication::restoreOverrideCursor();
        qApp->removeEventFilter(this);
    }
    bool hidden = false;
};

ShowOnMove& filter() {
    static ShowOnMove* instance = new ShowOnMove;  // lives as long as the application
    return *instance;
}

}  // namespace

void hideCursorUntilMouseMoves() {
    ShowOnMove& f = filter();
    if (f.hidden || !qApp) return;
    f.hidden = true;
    QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    qApp->installEventFilter(&f);
}

}  // namespace reel::platform
