#pragma once

#include <QByteArrayList>

class QWidget;

namespace reel {

class AppController;

// Files the player is asked to open from outside its windows (its own
// command line, or another Reel's over the session bus) join the playlist
// exactly as a drop does, in their order. Asked to play, the player then
// views the first of them that becomes an entry.
class FileHandover {
public:
    FileHandover(AppController& controller, QWidget& playlistWindow);

    // Only absolute names in UTF-8 are taken; the others are named in the log.
    void open(const QByteArrayList& paths, bool play);
    // Files from another Reel also bring the playlist window to the front.
    void openFromElsewhere(const QByteArrayList& paths, bool play);

    // The playlist's paths, in order.
    QByteArrayList entries() const;

private:
    AppController& controller_;
    QWidget& playlistWindow_;
};

}  // namespace reel
