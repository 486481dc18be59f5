#pragma once

#include <QAbstractButton>
#include <QIcon>

namespace reel {

// A button that is only its picture: one image normally, another while pressed.
class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);

    void setImage(const QIcon& image);
    void setAlternateImage(const QIcon& image);
    QIcon image() const { return image_; }
    QIcon alternateImage() const { return alternateImage_; }

    QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon image_;
    QIcon alternateImage_;
};

}  // namespace reel
