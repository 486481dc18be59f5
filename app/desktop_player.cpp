#include "app/desktop_player.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <memory>

#include "app/app_controller.h"
#include "app/file_handover.h"
#include "app/interface.h"
#include "platform/log.h"
#include "platform/window_system.h"
#include "transport/fade_window.h"
#include "ui/full_screen_window.h"

namespace reel {

namespace {

QIcon applicationIcon() {
    QIcon bundled;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        bundled.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    // The installed icon theme may draw it better at odd sizes.
    return QIcon::fromTheme(QStringLiteral("org.reelplayer.Reel"), bundled);
}

}  // namespace

void fitToWindowSystem(Interface& ui) {
    platform::showEmbeddedWindowsWithTheirParent(&ui.viewerWindow());
    platform::showEmbeddedWindowsWithTheirParent(ui.controller().fullscreenWindow());
}

int runDesktopPlayer(const PlayerStart& start) {
    const platform::WindowSystem windows = platform::chooseWindowSystem(*start.argc, start.argv);
    std::unique_ptr<FileHandover> handover;
    return runApplication(*start.argc, start.argv, {}, [&](Interface& ui) {
        const std::string report =
            platform::windowSystemReport(windows, QGuiApplication::platformName().toStdString());
        if (!report.empty()) platform::log(report);
        QApplication::setWindowIcon(applicationIcon());
        fitToWindowSystem(ui);
        handover = std::make_unique<FileHandover>(ui.controller(), ui.playlistWindow());
        // Its own files go first; files handed over while it was starting wait for these.
        handover->open(start.files, start.play);
        if (start.serve) {
            start.serve([&handover](const QByteArrayList& paths,
                                    bool play) { handover->openFromElsewhere(paths, play); },
                        [&handover] { return handover->entries(); });
        }
    });
}

}  // namespace reel
