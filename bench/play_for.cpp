// Plays one movie through the real interface for a while, then quits: what
// the CPU measurement watches from outside.
//
//   play_for SECONDS FILE
//
// Starts as the program does (playlist window shown, the file added), views
// row 0 as the View button would, and prints "first frame" on stdout once
// the picture is up, so the watcher can start counting from there. Quits
// SECONDS after that line, saying how often the picture was painted and what
// mpv counted as dropped or late, so a low CPU figure cannot hide skipped frames.

#include <mpv/client.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "platform/mpv_movie_view.h"
#include "platform/mpv_player.h"

using namespace reel;

namespace {

long long property(mpv_handle* mpv, const char* name) {
    int64_t value = -1;
    mpv_get_property(mpv, name, MPV_FORMAT_INT64, &value);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::atof(argv[1]) <= 0) {
        std::fputs("usage: play_for SECONDS FILE\n", stderr);
        return 2;
    }
    const int milliseconds = int(std::atof(argv[1]) * 1000);
    const QString file = QString::fromLocal8Bit(argv[2]);

    // Viewing saves the volume: keep the benchmark's settings away from the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    QApplication app(argc, argv);
    Interface ui;
    ui.playlistWindow().show();
    AppController& c = ui.controller();
    c.openPanelDidEnd({file}, true);
    c.intake().finish();
    c.selectRow(0);
    c.showSelectedEntryInfo();

    QElapsedTimer clock;
    clock.start();
    c.viewItem();
    auto* view = dynamic_cast<platform::MpvMovieView*>(c.view());
    if (!view) {
        std::fputs("play_for: viewItem() made no mpv view\n", stderr);
        return 1;
    }
    long drawnBefore = 0;
    QElapsedTimer playing;
    QObject::connect(view, &platform::MpvMovieView::firstFrameShown, &app, [&] {
        std::printf("first frame %.1f ms\n", double(clock.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
        drawnBefore = view->drawCount();
        playing.start();
        QTimer::singleShot(milliseconds, &app, [&] {
            mpv_handle* mpv = view->player().handle();
            const double seconds = double(playing.elapsed()) / 1000.0;
            double played = -1;
            mpv_get_property(mpv, "time-pos", MPV_FORMAT_DOUBLE, &played);
            const long drawn = view->drawCount() - drawnBefore;
            std::printf(
                "paints %ld in %.1f s (%.1f/s); vo libmpv, time-pos %.2f, frame-drop-count %lld, "
                "decoder-frame-drop-count %lld\n",
                drawn, seconds, double(drawn) / seconds, played, property(mpv, "frame-drop-count"),
                property(mpv, "decoder-frame-drop-count"));
            std::fflush(stdout);
            // exit(), not quit(): the viewer and controller windows refuse to close, and Qt 6's
            // quit() gives up when a window does.
            QApplication::exit(0);
        });
    });
    // A movie that never shows does not keep the benchmark waiting.
    QTimer::singleShot(milliseconds + 20000, &app, [] {
        std::fputs("play_for: no first frame\n", stderr);
        QApplication::exit(1);
    });
    return app.exec();
}
