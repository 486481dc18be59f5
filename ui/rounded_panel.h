#pragma once

#include <QColor>
#include <QFrame>
#include <QPainterPath>
#include <QRectF>

namespace reel {

// A rounded rectangle's outline: from the middle of the top edge, round the
// top-left, bottom-left, bottom-right and top-right corners, with y pointing
// up as in the panel's drawing coordinates. Each corner is the arc a circle
// of the radius makes touching both edges.
QPainterPath bezierPathCurved(const QRectF& rect, qreal radius);

// The controller's panel: a flat rounded background, inset a little from its
// bounds, under the frame's own border.
class RoundedPanel : public QFrame {
    Q_OBJECT
public:
    using QFrame::QFrame;

    static QColor fillColor() { return QColor::fromRgbF(0.8627451f, 0.88235295f, 0.78431374f, 1.0f); }
    static constexpr qreal kRadius = 6.0;
    // The filled rectangle, y up: 3 in from the left, right and top, 4 from the bottom.
    static QRectF insetRect(const QRectF& bounds) {
        return {bounds.x() + 3.0, bounds.y() + 4.0, bounds.width() - 6.0, bounds.height() - 7.0};
    }

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace reel
