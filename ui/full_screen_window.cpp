#include "ui/full_screen_window.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include "platform/window_levels.h"
#include "ui/picture_keys.h"

namespace reel {

QRectF pictureRect(QSizeF screen, QSizeF view) {
    // Computed in single precision, as the picture's frame is.
    const float sw = float(screen.width()), sh = float(screen.height());
    const float vw = float(view.width()), vh = float(view.height());
    if (!(vw > 0) || !(vh > 0)) return {0, 0, screen.width(), screen.height()};  // no picture: fill
    const float aspect = vw / vh;
    const float hFit = sw / aspect;
    if (hFit <= sh) return {0, double((sh - hFit) * 0.5f), double(sw), double(hFit)};
    const float wFit = sh * aspect;
    return {double((sw - wFit) * 0.5f), 0, double(wFit), double(sh)};
}

FullScreenWindow::FullScreenWindow(const QRect& contentRect)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setGeometry(contentRect);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    setWindowTitle(QStringLiteral("Reel"));
    // Follow the application in and out of being active.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            raiseAboveOthers();
        else if (state == Qt::ApplicationInactive)
            sinkBelowOthers();
    });
    setMouseTracking(true);
}

FullScreenWindow::~FullScreenWindow() = default;

void FullScreenWindow::raiseAboveOthers() { platform::setWindowLevel(this, platform::kFullScreenLevel); }

void FullScreenWindow::sinkBelowOthers() {
    platform::setWindowLevel(this, platform::CGWindowLevelForKey(platform::kBackstopMenuKey));
}

void FullScreenWindow::keyPressEvent(QKeyEvent* event) {
    if (logKeyAndCheckEscape(event)) return;  // escape does nothing here
    QWidget::keyPressEvent(event);
}

void FullScreenWindow::tellMoved() {
    if (isVisible()) emit moved();
}

void FullScreenWindow::mouseMoveEvent(QMouseEvent* event) {
    tellMoved();
    QWidget::mouseMoveEvent(event);
}

void FullScreenWindow::mousePressEvent(QMouseEvent* event) {
    tellMoved();
    QWidget::mousePressEvent(event);
}

}  // namespace reel
