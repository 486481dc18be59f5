#include "transport/fade_window.h"

namespace reel {

FadeWindow::FadeWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("Viewer"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
}

IControllerWindow::IControllerWindow(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {}

}  // namespace reel
