#include "ui/image_button.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace reel {

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) { setCursor(Qt::PointingHandCursor); }

void ImageButton::setImage(const QIcon& image) {
    image_ = image;
    update();
}

void ImageButton::setAlternateImage(const QIcon& image) {
    alternateImage_ = image;
    update();
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QIcon& shown = isDown() && !alternateImage_.isNull() ? alternateImage_ : image_;
    shown.paint(&painter, rect());
    if (hasFocus()) {  // the keyboard's place, for those who do not point
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

}  // namespace reel
