#include "ui/image_button.h"

#include <QPainter>

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
}

}  // namespace reel
