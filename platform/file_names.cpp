#include "platform/file_names.h"

#include <unistd.h>

#include <QByteArray>
#include <QUrl>
#include <cerrno>
#include <vector>

#include "platform/utf8.h"

namespace reel::platform {

namespace {

std::string workingFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string bytesOf(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), std::size_t(utf8.size()));
}

}  // namespace

std::string absolutePath(std::string_view path, std::string_view folder) {
    if (path.empty()) return {};
    const std::string whole = path.front() == '/' ? std::string(path)
                                                  : (folder.empty() ? workingFolder() : std::string(folder)) +
                                                        "/" + std::string(path);
    std::vector<std::string_view> parts;
    std::string_view rest = whole;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string cleaned;
    for (std::string_view part : parts) (cleaned += '/') += part;
    return cleaned.empty() ? "/" : cleaned;
}

std::optional<std::string> localPath(const QUrl& url) {
    if (!url.isLocalFile()) return std::nullopt;
    // The encoded form keeps escapes of bytes that are not UTF-8, which the
    // decoded form (and toLocalFile) would have replaced.
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    std::string path(bytes.constData(), std::size_t(bytes.size()));
    // As toLocalFile has it: a host other than this one names a share.
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        path = "//" + bytesOf(host) + path;
    if (path.empty()) return std::nullopt;
    return path;
}

QString displayText(std::string_view path) {
    QString text;
    text.reserve(qsizetype(path.size()));
    std::size_t i = 0, run = 0;  // run: where the current stretch of valid UTF-8 began
    while (i < path.size()) {
        const std::size_t length = utf8Length(path, i);
        if (length > 0) {
            i += length;
            continue;
        }
        text += QString::fromUtf8(path.data() + run, qsizetype(i - run));
        text += QChar(QChar::ReplacementCharacter);
        run = ++i;
    }
    text += QString::fromUtf8(path.data() + run, qsizetype(i - run));
    return text;
}

}  // namespace reel::platform
