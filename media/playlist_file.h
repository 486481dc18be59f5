#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace reel {

// One movie a playlist file names, with what the file says of it.
struct PlaylistLine {
    // An absolute local path, or a URL that names no local file, kept as written.
    QString location;
    QString title;
    double seconds = -1;  // unknown when negative

    bool operator==(const PlaylistLine&) const = default;
};

enum class PlaylistFormat { M3U8, XSPF, PLS };

struct PlaylistContents {
    std::vector<PlaylistLine> lines;
    // One line per problem found, for the log; what could be read is kept all the same.
    QStringList problems;
    // False when the bytes are no playlist at all (binary, unreadable, too large).
    bool readable = false;
};

// Files larger than this are refused unread: no playlist of movies comes near it.
constexpr qint64 kLargestPlaylistBytes = qint64(256) * 1024 * 1024;
// No file name on Linux is longer; longer lines are kept but reported.
constexpr int kLongestFileName = 4096;

// Whether the path names a playlist by its extension (m3u, m3u8, xspf, pls).
bool isPlaylistPath(const QString& path);
// The format a playlist is saved in: by its extension, M3U8 when none is known.
PlaylistFormat playlistFormatFor(const QString& path);

// Reads a playlist's bytes, whatever their format says they are; relative
// names are resolved against folder.
PlaylistContents parsePlaylist(const QByteArray& bytes, const QString& folder);
PlaylistContents readPlaylistFile(const QString& path);

// The playlist as text in the format; locations under folder are written relative to it.
QByteArray formatPlaylist(const std::vector<PlaylistLine>& lines, PlaylistFormat format,
                          const QString& folder);
// Writes the playlist in the format its name asks for, replacing the file whole or not at all.
bool writePlaylistFile(const QString& path, const std::vector<PlaylistLine>& lines, QString* whyNot);

}  // namespace reel
