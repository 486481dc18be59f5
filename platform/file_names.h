#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

class QUrl;

namespace reel::platform {

// A file name is whatever bytes the file system holds, UTF-8 or not. Paths
// are kept as those bytes from where they come in (command line, dialog,
// drop) to where the file is opened; only what is shown is text, and text
// does not turn back into the same bytes. These are the crossings. (A dialog
// hands its choice back as file URLs, which keep the bytes as drops do.)

// A path named on the command line, made absolute against the working
// folder (this process's, unless another is named). "." and ".." are taken
// out lexically, as the shell's cd does.
std::string absolutePath(std::string_view path, std::string_view workingFolder = {});

// The local file a URL names, its percent-escapes decoded byte by byte, so
// that a name that is not UTF-8 survives the drop. Nothing for URLs that do
// not name a local file.
std::optional<std::string> localPath(const QUrl& url);

// A path as text to show: its UTF-8 decoded, each byte that is not part of
// valid UTF-8 shown as U+FFFD.
QString displayText(std::string_view path);

}  // namespace reel::platform
