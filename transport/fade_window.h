#pragma once

#include <QSizeF>
#include <QTimer>
#include <QWidget>

#include "transport/fader.h"

namespace reel {

class MovieView;

// The viewer window. It holds the movie view and comes and goes by fading;
// its close button fades it out instead of closing it.
class FadeWindow : public QWidget {
    Q_OBJECT
public:
    explicit FadeWindow(QWidget* parent = nullptr);

    void fadeIn() { fades_.fadeIn(); }
    // Stops the movie at once, then fades the still picture out.
    void fadeOut() { fades_.fadeOut(); }
    float alphaValue() const { return fades_.alphaValue(); }
    Fader& fades() { return fades_; }

    // The movie view fills the window; null takes it out.
    void setContentView(MovieView* view);
    MovieView* contentView() const { return contentView_; }
    // Resizing by hand keeps this shape for the picture.
    void setAspectRatio(QSizeF ratio) { aspectRatio_ = ratio; }
    QSizeF aspectRatio() const { return aspectRatio_; }

signals:
    // The fade-out ended: whoever holds the movie shown may let go of it.
    void fadedOut();
    void pictureDoubleClicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Fader::Behaviour viewerFades();

    Fader fades_;
    MovieView* contentView_ = nullptr;
    QSizeF aspectRatio_;
    bool adjusting_ = false;
};

}  // namespace reel
