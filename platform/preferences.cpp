#include "platform/preferences.h"

#include <QFileInfo>
#include <QSettings>

namespace reel::platform {

namespace {
QSettings domainSettings(const QString& name) {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("reel"), name);
}
}  // namespace

std::optional<QVariantMap> persistentDomainForName(const QString& name) {
    const QSettings settings = domainSettings(name);
    if (!QFileInfo::exists(settings.fileName())) return std::nullopt;
    QVariantMap domain;
    for (const QString& key : settings.allKeys()) domain.insert(key, settings.value(key));
    return domain;
}

void setPersistentDomain(const QVariantMap& domain, const QString& name) {
    QSettings settings = domainSettings(name);
    settings.clear();
    for (auto it = domain.begin(); it != domain.end(); ++it) settings.setValue(it.key(), it.value());
    settings.sync();
}

}  // namespace reel::platform
