#include "ui/rounded_panel.h"

#include <QPainter>
#include <cmath>

namespace reel {

namespace {

QPointF unit(QPointF v) {
    const qreal length = std::hypot(v.x(), v.y());
    return length > 0 ? v / length : QPointF();
}

// PostScript's arct: a line from the current point towards `corner`, then
// the arc of radius r that touches both the line in and the line out to `next`.
void appendArcFromPoint(QPainterPath& path, QPointF corner, QPointF next, qreal r) {
    const QPointF current = path.currentPosition();
    const QPointF in = unit(current - corner), out = unit(next - corner);
    const qreal cosine = in.x() * out.x() + in.y() * out.y();
    if (r <= 0 || in.isNull() || out.isNull() || std::fabs(cosine) >= 1.0 - 1e-12) {
        path.lineTo(corner);  // no turn to round
        return;
    }
    const qreal between = std::acos(cosine);
    const qreal reach = r / std::tan(between / 2);
    const QPointF start = corner + in * reach, end = corner + out * reach;
    path.lineTo(start);
    // A cubic Bezier per arc; close enough to a circle for arcs up to 180 degrees.
    const qreal sweep = M_PI - between;
    const qreal handle = 4.0 / 3.0 * std::tan(sweep / 4) * r;
    path.cubicTo(start - in * handle, end - out * handle, end);
}

}  // namespace

QPainterPath bezierPathCurved(const QRectF& rect, qreal radius) {
    const qreal x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    QPainterPath path;
    path.moveTo(w * 0.5 + x, y + h);
    appendArcFromPoint(path, {x, y + h}, {x, y}, radius);
    appendArcFromPoint(path, {x, y}, {x + w, y}, radius);
    appendArcFromPoint(path, {x + w, y}, {x + w, y + h}, radius);
    appendArcFromPoint(path, {x + w, y + h}, {x, y + h}, radius);
    path.closeSubpath();
    return path;
}

void RoundedPanel::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // Draw in the panel's own y-up coordinates, so the inset keeps its wider bottom margin.
        painter.translate(0, height());
        painter.scale(1, -1);
        painter.fillPath(bezierPathCurved(insetRect(QRectF(0, 0, width(), height())), kRadius), fillColor());
    }
    QFrame::paintEvent(event);  // the frame's border over the fill
}

}  // namespace reel
