#include "ui/spoken_label.h"

#include <QLabel>
#include <QVariant>

namespace reel {

namespace {
constexpr const char* kCaption = "reelSpokenCaption";
}  // namespace

void speakWithCaption(QLabel* field) {
    QVariant caption = field->property(kCaption);
    if (!caption.isValid()) {
        caption = field->accessibleName();
        field->setProperty(kCaption, caption);
    }
    const QString name =
        field->text().isEmpty() ? caption.toString() : caption.toString() + ": " + field->text();
    // Setting the same name again would announce it again.
    if (field->accessibleName() != name) field->setAccessibleName(name);
}

}  // namespace reel
