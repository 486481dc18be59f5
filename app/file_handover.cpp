#include "app/file_handover.h"

#include <QWidget>

#include "app/app_controller.h"
#include "app/json.h"
#include "app/playlist_intake.h"
#include "platform/log.h"
#include "transport/fade_window.h"

namespace reel {

namespace {

// Why a name handed over cannot become an entry, or nothing when it can.
// Names are bytes: one that is not UTF-8 is a file name like any other.
const char* refusal(const QByteArray& path) {
    if (path.contains('\0')) return "the name holds a NUL byte";
    if (!path.startsWith('/')) return "not an absolute path";
    return nullptr;
}

}  // namespace

FileHandover::FileHandover(AppController& controller, QWidget& playlistWindow)
    : controller_(controller), playlistWindow_(playlistWindow) {}

void FileHandover::open(const QByteArrayList& paths, bool play) {
    std::vector<std::string> names;
    names.reserve(std::size_t(paths.size()));
    for (const QByteArray& path : paths) {
        if (const char* why = refusal(path))
            platform::log("skipped " + jsonString(path.toStdString()) + ": " + why);
        else
            names.push_back(path.toStdString());
    }
    if (names.empty()) return;
    PlaylistIntake::FirstAdded view;
    if (play) {
        view = [&c = controller_] {
            // The entry just added is the last one, whatever was removed meanwhile.
            c.selectRow(int(c.objects().size()) - 1);
            c.showSelectedEntryInfo();
            c.viewItem();
            // What was asked to play goes in front of the playlist brought forward with it.
            if (c.view() && !c.inFullscreen()) {
                c.outlets().viewerWindow->raise();
                c.outlets().viewerWindow->activateWindow();
            }
        };
    }
    controller_.intake().add(names, std::move(view));
}

void FileHandover::openFromElsewhere(const QByteArrayList& paths, bool play) {
    platform::log("another Reel handed over " + std::to_string(paths.size()) +
                  (paths.size() == 1 ? " file" : " files") + (play ? ", to play" : ""));
    open(paths, play);
    // Bring back a playlist that was faded out or minimised, then raise it.
    if (!playlistWindow_.isVisible() || playlistWindow_.windowOpacity() == 0.0) controller_.fadeIn();
    playlistWindow_.setWindowState(playlistWindow_.windowState() & ~Qt::WindowMinimized);
    playlistWindow_.raise();
    playlistWindow_.activateWindow();
}

QByteArrayList FileHandover::entries() const {
    QByteArrayList names;
    names.reserve(qsizetype(controller_.objects().size()));
    for (const EntryRecord& entry : controller_.objects()) names << QByteArray::fromStdString(entry.name);
    return names;
}

}  // namespace reel
