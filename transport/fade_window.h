#pragma once

#include <QWidget>

namespace reel {

// The viewer window: it holds the movie view and comes and goes by fading.
class FadeWindow : public QWidget {
    Q_OBJECT
public:
    explicit FadeWindow(QWidget* parent = nullptr);
};

// The floating controller window.
class IControllerWindow : public QWidget {
    Q_OBJECT
public:
    explicit IControllerWindow(QWidget* parent = nullptr);
};

}  // namespace reel
