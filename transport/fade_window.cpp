#include "transport/fade_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "platform/movie_view.h"
#include "ui/picture_keys.h"

namespace reel {

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

}  // namespace reel
