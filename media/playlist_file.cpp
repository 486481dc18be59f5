#include "media/playlist_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cmath>

namespace reel {

namespace {

// Problems of one kind beyond this many are counted, not each told.
constexpr int kProblemsTold = 20;

class Problems {
public:
    explicit Problems(QStringList& out) : out_(out) {}
    ~Problems() {
        for (auto it = untold_.begin(); it != untold_.end(); ++it)
            out_ << QStringLiteral("%1 more lines: %2").arg(it.value()).arg(it.key());
    }
    void add(const QString& kind, const QString& problem) {
        if (told_[kind]++ < kProblemsTold)
            out_ << problem;
        else
            ++untold_[kind];
    }

private:
    QStringList& out_;
    QMap<QString, int> told_;
    QMap<QString, int> untold_;
};

QString extensionOf(const QString& path) { return QFileInfo(path).suffix().toLower(); }

// Text files hold no NUL bytes and few other control bytes; binary data holds many.
bool looksBinary(const QByteArray& bytes) {
    const qsizetype sample = std::min<qsizetype>(bytes.size(), 64 * 1024);
    qsizetype control = 0;
    for (qsizetype i = 0; i < sample; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == 0) return true;
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f') ++control;
    }
    return sample > 0 && control * 100 > sample;
}

// A line as UTF-8 when it is that, otherwise as Latin-1, which every byte string is.
QString decodeLine(QByteArrayView bytes, int number, Problems& problems) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    problems.add(QStringLiteral("not UTF-8; read as Latin-1"),
                 QStringLiteral("line %1 is not UTF-8; read as Latin-1").arg(number));
    return QString::fromLatin1(bytes);
}

// The text lines of the bytes, BOM and line ends (LF, CRLF, CR) taken off.
struct TextLine {
    QString text;
    int number;
};
std::vector<TextLine> textLines(QByteArray bytes, Problems& problems) {
    std::vector<TextLine> lines;
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    qsizetype start = 0;
    int number = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
        ++number;
        QString text =
            decodeLine(QByteArrayView(bytes).sliced(start, end - start), number, problems).trimmed();
        if (!text.isEmpty()) lines.push_back({std::move(text), number});
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return lines;
}

// A playlist's name for a movie as a location: local paths absolute and clean.
QString resolve(const QString& written, const QString& folder) {
    if (written.contains(QStringLiteral("://"))) {
        const QUrl url(written);
        if (url.isLocalFile()) return QDir::cleanPath(url.toLocalFile());
        return written;  // a stream or other URL: kept, never opened as a file
    }
    if (written.startsWith(QStringLiteral("file:"))) {
        const QUrl url(written);
        if (url.isLocalFile()) return QDir::cleanPath(url.toLocalFile());
    }
    return QDir::cleanPath(QDir(folder).absoluteFilePath(written));
}

void checkLength(const PlaylistLine& line, int number, Problems& problems) {
    if (line.location.size() > kLongestFileName)
        problems.add(QStringLiteral("longer than any file name"),
                     QStringLiteral("line %1 names a file of %2 characters, longer than any file name")
                         .arg(number)
                         .arg(line.location.size()));
}

void parseM3u(const QByteArray& bytes, const QString& folder, PlaylistContents& out, Problems& problems) {
    PlaylistLine pending;
    for (const TextLine& line : textLines(bytes, problems)) {
        if (line.text.startsWith('#')) {
            if (line.text.startsWith(QStringLiteral("#EXTINF:"), Qt::CaseInsensitive)) {
                // "#EXTINF:seconds[ attributes],title"
                const QString rest = line.text.mid(8);
                const qsizetype comma = rest.indexOf(',');
                const QString head = comma < 0 ? rest : rest.left(comma);
                bool ok = false;
                const double seconds = head.section(' ', 0, 0).toDouble(&ok);
                pending.seconds = ok && std::isfinite(seconds) && seconds >= 0 ? seconds : -1;
                pending.title = comma < 0 ? QString() : rest.mid(comma + 1).trimmed();
            }
            continue;
        }
        pending.location = resolve(line.text, folder);
        checkLength(pending, line.number, problems);
        out.lines.push_back(std::move(pending));
        pending = PlaylistLine();
    }
}

void parsePls(const QByteArray& bytes, const QString& folder, PlaylistContents& out, Problems& problems) {
    // Entries are numbered; they may come in any order and with gaps.
    QMap<int, PlaylistLine> entries;
    QMap<int, int> lineOf;
    for (const TextLine& line : textLines(bytes, problems)) {
        const qsizetype equals = line.text.indexOf('=');
        if (equals < 0) continue;
        const QString key = line.text.left(equals).trimmed().toLower();
        const QString value = line.text.mid(equals + 1).trimmed();
        const auto numbered = [&](const char* prefix) -> int {
            const QString name = QLatin1String(prefix);
            if (!key.startsWith(name)) return -1;
            bool ok = false;
            const int n = key.mid(name.size()).toInt(&ok);
            return ok && n >= 0 ? n : -1;
        };
        if (int n = numbered("file"); n >= 0) {
            entries[n].location = resolve(value, folder);
            lineOf[n] = line.number;
        } else if (int t = numbered("title"); t >= 0) {
            entries[t].title = value;
        } else if (int l = numbered("length"); l >= 0) {
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            entries[l].seconds = ok && std::isfinite(seconds) && seconds >= 0 ? seconds : -1;
        }
    }
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->location.isEmpty()) {
            problems.add(QStringLiteral("no file"),
                         QStringLiteral("entry %1 has a title or length but no file").arg(it.key()));
            continue;
        }
        checkLength(*it, lineOf.value(it.key()), problems);
        out.lines.push_back(*it);
    }
}

void parseXspf(const QByteArray& bytes, const QString& folder, PlaylistContents& out, Problems& problems) {
    const QUrl base = QUrl::fromLocalFile(folder + '/');
    QXmlStreamReader xml(bytes);
    PlaylistLine track;
    bool inTrack = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("track")) {
                inTrack = true;
                track = PlaylistLine();
            } else if (inTrack && name == QLatin1String("location")) {
                const QString text = xml.readElementText().trimmed();
                const QUrl url = base.resolved(QUrl(text));
                track.location = url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : text;
            } else if (inTrack && name == QLatin1String("title")) {
                track.title = xml.readElementText().trimmed();
            } else if (inTrack && name == QLatin1String("duration")) {
                bool ok = false;
                const double ms = xml.readElementText().trimmed().toDouble(&ok);
                track.seconds = ok && std::isfinite(ms) && ms >= 0 ? ms / 1000.0 : -1;
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("track")) {
            inTrack = false;
            if (track.location.isEmpty()) {
                problems.add(QStringLiteral("no location"),
                             QStringLiteral("a track near line %1 has no location").arg(xml.lineNumber()));
                continue;
            }
            checkLength(track, int(xml.lineNumber()), problems);
            out.lines.push_back(std::move(track));
        }
    }
    if (xml.hasError())
        problems.add(QStringLiteral("XML"),
                     QStringLiteral("XML broken at line %1: %2; the tracks before it are kept")
                         .arg(xml.lineNumber())
                         .arg(xml.errorString()));
}

QString secondsText(double seconds) {
    // Whole seconds, as every player reads them; unknown is -1 by custom.
    return seconds < 0 ? QStringLiteral("-1") : QString::number(std::llround(seconds));
}

// Where the playlist finds the movie: relative when it lies under the playlist's folder.
QString writtenPath(const QString& location, const QString& folder) {
    if (!QDir::isAbsolutePath(location)) return location;  // a URL, as it came
    const QString root = QDir::cleanPath(folder);
    const QString prefix = root.endsWith('/') ? root : root + '/';
    if (location.startsWith(prefix)) return location.mid(prefix.size());
    return location;
}

// The location as a text line holds it. A name a line cannot hold as it is
// (a line break, a leading '#', blanks at its ends, what reads as a URL) goes
// as a file URL, which says it all in plain characters.
QString lineSafePath(const QString& location, const QString& folder) {
    const QString where = writtenPath(location, folder);
    if (!QDir::isAbsolutePath(location)) return where;
    const bool plain = !where.isEmpty() && !where.contains('\n') && !where.contains('\r') &&
                       !where.startsWith('#') && where.trimmed() == where &&
                       !where.contains(QStringLiteral("://")) && !where.startsWith(QStringLiteral("file:"));
    return plain ? where : QString::fromUtf8(QUrl::fromLocalFile(location).toEncoded());
}

QByteArray formatM3u(const std::vector<PlaylistLine>& lines, const QString& folder) {
    QByteArray text = "#EXTM3U\n";
    for (const PlaylistLine& line : lines) {
        QString title = line.title;
        title.replace('\n', ' ').replace('\r', ' ');
        text += "#EXTINF:" + secondsText(line.seconds).toUtf8() + "," + title.toUtf8() + "\n";
        text += lineSafePath(line.location, folder).toUtf8() + "\n";
    }
    return text;
}

QByteArray formatPls(const std::vector<PlaylistLine>& lines, const QString& folder) {
    QByteArray text = "[playlist]\n";
    int n = 0;
    for (const PlaylistLine& line : lines) {
        ++n;
        const QString where = lineSafePath(line.location, folder);
        QString title = line.title;
        title.replace('\n', ' ').replace('\r', ' ');
        text += QStringLiteral("File%1=%2\n").arg(n).arg(where).toUtf8();
        if (!title.isEmpty()) text += QStringLiteral("Title%1=%2\n").arg(n).arg(title).toUtf8();
        text += QStringLiteral("Length%1=%2\n").arg(n).arg(secondsText(line.seconds)).toUtf8();
    }
    text += QStringLiteral("NumberOfEntries=%1\nVersion=2\n").arg(n).toUtf8();
    return text;
}

QByteArray formatXspf(const std::vector<PlaylistLine>& lines, const QString& folder) {
    QByteArray text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("playlist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("xmlns"), QStringLiteral("http://xspf.org/ns/0/"));
    xml.writeStartElement(QStringLiteral("trackList"));
    for (const PlaylistLine& line : lines) {
        xml.writeStartElement(QStringLiteral("track"));
        QString location = line.location;
        if (QDir::isAbsolutePath(line.location)) {
            const QString where = writtenPath(line.location, folder);
            // Relative URI references are resolved against the playlist's own place.
            location = where == line.location
                           ? QString::fromUtf8(QUrl::fromLocalFile(line.location).toEncoded())
                           : QString::fromUtf8(QUrl::toPercentEncoding(where, "/"));
        }
        xml.writeTextElement(QStringLiteral("location"), location);
        if (!line.title.isEmpty())
            xml.writeTextElement(QStringLiteral("title"),
                                 QString(line.title).replace('\n', ' ').replace('\r', ' '));
        if (line.seconds >= 0)
            xml.writeTextElement(QStringLiteral("duration"),
                                 QString::number(std::llround(line.seconds * 1000)));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return text;
}

}  // namespace

bool isPlaylistPath(const QString& path) {
    const QString ext = extensionOf(path);
    return ext == QLatin1String("m3u") || ext == QLatin1String("m3u8") || ext == QLatin1String("xspf") ||
           ext == QLatin1String("pls");
}

PlaylistFormat playlistFormatFor(const QString& path) {
    const QString ext = extensionOf(path);
    if (ext == QLatin1String("xspf")) return PlaylistFormat::XSPF;
    if (ext == QLatin1String("pls")) return PlaylistFormat::PLS;
    return PlaylistFormat::M3U8;
}

PlaylistContents parsePlaylist(const QByteArray& bytes, const QString& folder) {
    PlaylistContents out;
    if (bytes.isEmpty()) {
        out.readable = true;
        out.problems << QStringLiteral("the playlist is empty");
        return out;
    }
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    QByteArray text = bytes;
    if (utf16) {
        // Rare, but some editors save so: read it as the UTF-8 it stands for.
        QStringDecoder decoder(QStringDecoder::Utf16);
        text = QString(decoder(bytes)).toUtf8();
        if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    }
    if (looksBinary(text)) {
        out.problems << QStringLiteral("binary data, not a playlist");
        return out;
    }
    out.readable = true;
    Problems problems(out.problems);
    // The content says which format it is; the name can be wrong.
    QByteArrayView head = QByteArrayView(text).first(std::min<qsizetype>(text.size(), 4096));
    const QByteArray start = head.trimmed().toByteArray().toLower();
    const qsizetype bom = start.startsWith("\xef\xbb\xbf") ? 3 : 0;
    if (start.mid(bom).startsWith("<?xml") || start.mid(bom).startsWith("<playlist"))
        parseXspf(text, folder, out, problems);
    else if (start.mid(bom).startsWith("[playlist]"))
        parsePls(text, folder, out, problems);
    else
        parseM3u(text, folder, out, problems);
    return out;
}

PlaylistContents readPlaylistFile(const QString& path) {
    QFile file(path);
    const QFileInfo info(path);
    PlaylistContents out;
    if (!info.isFile()) {
        out.problems << (info.exists() ? QStringLiteral("not a regular file")
                                       : QStringLiteral("File not found"));
        return out;
    }
    if (info.size() > kLargestPlaylistBytes) {
        out.problems << QStringLiteral("%1 bytes, too large for a playlist").arg(info.size());
        return out;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        out.problems << file.errorString();
        return out;
    }
    return parsePlaylist(file.read(kLargestPlaylistBytes), info.absolutePath());
}

QByteArray formatPlaylist(const std::vector<PlaylistLine>& lines, PlaylistFormat format,
                          const QString& folder) {
    switch (format) {
        case PlaylistFormat::XSPF:
            return formatXspf(lines, folder);
        case PlaylistFormat::PLS:
            return formatPls(lines, folder);
        case PlaylistFormat::M3U8:
            break;
    }
    return formatM3u(lines, folder);
}

bool writePlaylistFile(const QString& path, const std::vector<PlaylistLine>& lines, QString* whyNot) {
    const QFileInfo info(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (whyNot) *whyNot = file.errorString();
        return false;
    }
    file.write(formatPlaylist(lines, playlistFormatFor(path), info.absolutePath()));
    if (!file.commit()) {
        if (whyNot) *whyNot = file.errorString();
        return false;
    }
    return true;
}

}  // namespace reel
