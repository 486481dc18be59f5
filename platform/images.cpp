#include "platform/images.h"

#include <QFile>
#include <QHash>

namespace reel::platform {

QIcon imageNamed(const QString& name) {
    // Named images are made once and shared, like the toolkit's own table.
    static QHash<QString, QIcon> table;
    const auto found = table.constFind(name);
    if (found != table.constEnd()) return *found;
    const QString path = QStringLiteral(":/images/") + name;
    const QIcon icon = QFile::exists(path) ? QIcon(path) : QIcon();
    table.insert(name, icon);
    return icon;
}

}  // namespace reel::platform
