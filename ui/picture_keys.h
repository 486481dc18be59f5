#pragma once

class QKeyEvent;

namespace reel {

// Keys that reach a window showing the picture: the code of the key's first
// character goes to the log, and escape is to be swallowed (true).
bool logKeyAndCheckEscape(const QKeyEvent* event);

}  // namespace reel
