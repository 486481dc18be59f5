#include "platform/content_key.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace reel::platform {

std::optional<QString> ContentKey::of(const QString& path) {
    // A pipe or a device would block the read or never end.
    const QFileInfo info(path);
    if (!info.isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const qint64 size = file.size();
    if (size <= 0) return std::nullopt;

    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto take = [&](qint64 from, qint64 bytes) {
        if (!file.seek(from)) return false;
        const QByteArray chunk = file.read(bytes);
        hash.addData(chunk);
        return chunk.size() == bytes;
    };
    const bool whole = size <= 2 * kChunkBytes
                           ? take(0, size)
                           : take(0, kChunkBytes) && take(size - kChunkBytes, kChunkBytes);
    if (!whole) return std::nullopt;
    return QString::number(size) + '-' + QString::fromLatin1(hash.result().toHex());
}

}  // namespace reel::platform
