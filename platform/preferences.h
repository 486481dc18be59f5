#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace reel::platform {

// The application's own preference domain, a settings file under the XDG
// config folder ($XDG_CONFIG_HOME/reel/<domain>.ini).
inline const QString kPreferenceDomain = QStringLiteral("reel");

// The stored dictionary, or nothing when the domain has never been written.
std::optional<QVariantMap> persistentDomainForName(const QString& name);

// Replaces the whole domain with the dictionary.
void setPersistentDomain(const QVariantMap& domain, const QString& name);

}  // namespace reel::platform
