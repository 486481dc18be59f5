// What a 10,000-entry playlist costs: saving it, opening it again (every
// entry described anew), and keeping the state file after each change.
//
//   playlist_session SAMPLE.mp4 DIR    (run with QT_QPA_PLATFORM=offscreen)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "app/session_keeper.h"
#include "bench_start.h"
#include "platform/log.h"
#include "platform/state_file.h"

namespace {

// The longest the event loop went without running a 5 ms timer while work ran.
class StallMeter {
public:
    StallMeter() {
        ticker_.setInterval(5);
        QObject::connect(&ticker_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, since_.restart()); });
        since_.start();
        ticker_.start();
    }
    qint64 longest() const { return longest_; }

private:
    QTimer ticker_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

void waitForIntake(reel::AppController& controller) {
    if (!controller.intake().busy()) return;
    QEventLoop loop;
    QObject::connect(&controller.intake(), &reel::PlaylistIntake::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments first: wrong ones get their usage line even where no display is open.
    const QStringList files = reel::bench::tenThousandCopies(argc, argv, "playlist_session");
    if (files.isEmpty()) return 2;
    QApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[2]));

    reel::Interface ui;
    ui.playlistWindow().show();
    QApplication::processEvents();
    reel::AppController& controller = ui.controller();
    controller.intake().add(files);  // also warms the file cache
    waitForIntake(controller);

    for (const char* name : {"bench.m3u8", "bench.xspf", "bench.pls"}) {
        QElapsedTimer took;
        took.start();
        controller.savePlaylistFile(dir.filePath(name));
        std::printf("save of %zu entries as %s: %.1f ms\n", controller.objects().size(), name,
                    double(took.nsecsElapsed()) / 1e6);
    }
    for (const char* name : {"bench.m3u8", "bench.xspf"}) {
        StallMeter stalls;
        QElapsedTimer took;
        took.start();
        controller.openPlaylistFile(dir.filePath(name));
        waitForIntake(controller);
        const double ms = double(took.nsecsElapsed()) / 1e6;
        std::printf("reopen of %s, descriptions included: %.0f ms, %.3f ms an entry, longest stall %lld ms\n",
                    name, ms, ms / double(controller.objects().size()),
                    static_cast<long long>(stalls.longest()));
    }

    QTemporaryDir state;
    reel::SessionKeeper keeper(controller, state.path());
    keeper.start(false, {});
    keeper.file().flush();
    StallMeter stalls;
    double longestRecord = 0, longestChange = 0;
    for (int change = 0; change < 100; ++change) {
        const int count = int(controller.objects().size());
        QElapsedTimer changing;
        changing.start();
        if (change % 2 == 0) {
            controller.moveEntries({change % count}, (change * 7919) % (count + 1));
        } else {
            controller.selectRow(change % count);
            controller.removeItem();
        }
        longestChange = std::max(longestChange, double(changing.nsecsElapsed()) / 1e6);
        QElapsedTimer took;
        took.start();
        keeper.recordNow();  // what the interface pays; the rest happens on the writing thread
        longestRecord = std::max(longestRecord, double(took.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
    }
    keeper.file().flush();
    QApplication::processEvents();
    std::printf(
        "state file after each of 100 changes of a %zu-entry playlist: %.1f ms at most on the interface's "
        "thread (the change itself: %.1f ms at most), longest stall %lld ms; writing took up to %.1f ms on "
        "its own thread\n",
        controller.objects().size(), longestRecord, longestChange, static_cast<long long>(stalls.longest()),
        double(keeper.file().longestWriteMicroseconds()) / 1000.0);
    return 0;
}
