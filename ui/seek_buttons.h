#pragma once

#include <QPushButton>
#include <QTimer>

#include "ui/player_messages.h"

namespace reel {

// A transport button that tells a click from a press held for half a second.
// A click steps to another movie, a hold scans until the button is let go.
// It acts only through command(); it sends no clicked().
class SeekButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr int kHoldMilliseconds = 500;

    // Running while a press may still be a click; a test fires it instead of waiting.
    QTimer& holdTimer() { return holdTimer_; }

signals:
    void command(reel::FastCommand command);

protected:
    struct Words {
        const char* icon;
        FastCommand click;
        FastCommand hold;
        bool logsClick;
    };
    SeekButton(const Words& words, QWidget* parent);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void holdBegan();

    Words words_;
    QTimer holdTimer_;
    bool held_ = false;
};

class RWButton : public SeekButton {
    Q_OBJECT
public:
    explicit RWButton(QWidget* parent = nullptr);
};

class FFButton : public SeekButton {
    Q_OBJECT
public:
    explicit FFButton(QWidget* parent = nullptr);
};

}  // namespace reel
