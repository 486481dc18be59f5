#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace reel::platform {

// The application's own preference domain, a settings file under the XDG
// config folder ($XDG_CONFIG_HOME/reel/<domain>.ini).
inline const QString kPreferenceDomain = QStringLiteral("reel");

// Past this a settings file is not read or written here, nor one that is not a
// regular file: the session then goes on with what it has.
inline constexpr long long kLargestDomainFile = 1 << 20;

// The stored dictionary, or nothing when the domain has never been written
// (or its file is not one to open).
std::optional<QVariantMap> persistentDomainForName(const QString& name);

// Replaces the whole domain with the dictionary.
void setPersistentDomain(const QVariantMap& domain, const QString& name);

}  // namespace reel::platform
