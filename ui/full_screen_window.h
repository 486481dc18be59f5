#pragma once

#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

namespace reel {

// Where the picture goes on a screen: as large as fits, its shape kept,
// centred, with black bars on the two sides left over.
QRectF pictureRect(QSizeF screen, QSizeF view);

// The borderless black window the picture moves into for full screen. It
// sinks behind the other windows while the player is not the active
// application, and says when the mouse moves or is pressed over it.
class FullScreenWindow : public QWidget {
    Q_OBJECT
public:
    explicit FullScreenWindow(const QRect& contentRect);
    ~FullScreenWindow() override;

    // Up to the full-screen level, and down behind everything.
    void raiseAboveOthers();
    void sinkBelowOthers();

signals:
    void pictureDoubleClicked();
    // Only while the window is on screen.
    void moved();

protected:
    void mouseDoubleClickEvent(QMouseEvent*) override { emit pictureDoubleClicked(); }
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void tellMoved();
};

}  // namespace reel
