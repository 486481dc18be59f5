#include "platform/preferences.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <cerrno>

namespace reel::platform {

namespace {

QSettings domainSettings(const QString& name) {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("reel"), name);
}

// Where QSettings keeps the domain; it opens the file as it is made, so this is looked at first.
QString domainFile(const QString& name) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/reel/" + name + ".ini";
}

// QSettings reads and writes on the calling thread, the interface's: a FIFO
// would hold it for good and megabytes of junk for seconds. Such a file is
// left alone (the volume's own writer says so in the log).
bool safeToOpen(const QString& fileName) {
    const QByteArray path = QFile::encodeName(fileName);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        struct stat link {};
        return errno == ENOENT && ::lstat(path.constData(), &link) != 0;  // not there, nor a link to nothing
    }
    return S_ISREG(info.st_mode) && info.st_size <= kLargestDomainFile &&
           ::access(path.constData(), R_OK) == 0;
}

}  // namespace

std::optional<QVariantMap> persistentDomainForName(const QString& name) {
    const QString file = domainFile(name);
    if (!QFileInfo::exists(file) || !safeToOpen(file)) return std::nullopt;
    const QSettings settings = domainSettings(name);
    QVariantMap domain;
    for (const QString& key : settings.allKeys()) domain.insert(key, settings.value(key));
    return domain;
}

void setPersistentDomain(const QVariantMap& domain, const QString& name) {
    if (!safeToOpen(domainFile(name))) return;
    QSettings settings = domainSettings(name);
    settings.clear();
    for (auto it = domain.begin(); it != domain.end(); ++it) settings.setValue(it.key(), it.value());
    settings.sync();
}

}  // namespace reel::platform
