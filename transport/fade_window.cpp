#include "transport/fade_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "platform/cursor.h"
#include "platform/movie_view.h"
#include "platform/notification_center.h"
#include "platform/window_levels.h"
#include "ui/full_screen_window.h"
#include "ui/picture_keys.h"

namespace reel {

// ---- Viewer window

Fader::Behaviour FadeWindow::viewerFades() {
    Fader::Behaviour behaviour;
    // The movie stops at once; the still picture fades.
    behaviour.fadeOutStarting = [this] {
        if (contentView_) contentView_->stop();
    };
    behaviour.fadedOut = [this] { emit fadedOut(); };
    return behaviour;
}

FadeWindow::FadeWindow(QWidget* parent) : QWidget(parent, Qt::Window), fades_(this, viewerFades()) {
    setWindowTitle(tr("Viewer"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void FadeWindow::setContentView(MovieView* view) {
    if (contentView_ && contentView_->widget()->parentWidget() == this)
        layout()->removeWidget(contentView_->widget());
    contentView_ = view;
    if (view) {
        view->widget()->setParent(this);
        layout()->addWidget(view->widget());
        view->widget()->show();
    }
}

void FadeWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    fadeOut();
}

void FadeWindow::keyPressEvent(QKeyEvent* event) {
    if (logKeyAndCheckEscape(event)) return;  // escape does nothing here
    QWidget::keyPressEvent(event);
}

void FadeWindow::mouseDoubleClickEvent(QMouseEvent*) { emit pictureDoubleClicked(); }

void FadeWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (adjusting_ || aspectRatio_.isEmpty() || !isVisible()) return;
    // Keep the width the user chose and follow it with the height.
    const int height = int(std::lround(width() * aspectRatio_.height() / aspectRatio_.width()));
    if (std::abs(height - this->height()) <= 1) return;
    adjusting_ = true;
    resize(width(), height);
    adjusting_ = false;
}

// ---- Controller window

Fader::Behaviour IControllerWindow::controllerFades() {
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

IControllerWindow::IControllerWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool), fades_(this, controllerFades()) {}

IControllerWindow::~IControllerWindow() {
    if (movedObserver_) platform::NotificationCenter::defaultCenter().removeObserver(movedObserver_);
}

void IControllerWindow::awakeFromNib() {
    movedObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        platform::kMovedNotification, [this](const platform::Notification&) { show(); });
    setMouseTracking(true);
}

void IControllerWindow::show() {
    if (fades_.alphaValue() == 0.0f) fadeIn();
}

void IControllerWindow::mouseMoved() {
    setVisible(true);
    fader.reset();
    if (platform::windowLevel(this) != platform::CGWindowLevelForKey(platform::kNormalWindowKey)) {
        fader = std::make_unique<QTimer>();
        fader->setSingleShot(true);
        connect(fader.get(), &QTimer::timeout, this, [this] {
            fader.release()->deleteLater();  // the timer ends as it fires
            fadeOut();
        });
        fader->start(kAutoHideMilliseconds);
    }
}

void IControllerWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    fadeOut();
}

void IControllerWindow::mouseMoveEvent(QMouseEvent* event) {
    mouseMoved();
    QWidget::mouseMoveEvent(event);
}

}  // namespace reel
