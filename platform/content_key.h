#pragma once

#include <QString>
#include <optional>

namespace reel::platform {

// Names a file by what it holds rather than where it is: its size and a hash
// of its first and last 64 KiB (the whole of a file under 128 KiB). A renamed
// or moved file keeps its key and two copies share one; a change in the
// middle of a large file alone goes unnoticed. Two reads at most, so it is
// cheap enough for the interface's thread on a local disk.
class ContentKey {
public:
    static constexpr qint64 kChunkBytes = 64 * 1024;

    // Nothing when the file cannot be read whole where it is asked, is empty or is not a regular file.
    static std::optional<QString> of(const QString& path);
};

}  // namespace reel::platform
