// How fast the playlist takes a large drop, whether the window keeps
// answering meanwhile, and what a long playlist costs in memory.
//
//   intake SAMPLE.mp4 DIR    (run with QT_QPA_PLATFORM=offscreen)
//
// Copies SAMPLE into DIR under 10,000 names (once), drops 1,000 of them on
// the playlist the way a file manager does, then adds the rest.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QMimeData>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "app/playlist_table.h"
#include "bench_start.h"
#include "platform/log.h"

namespace {

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// Adds the files through the table's drop and waits for the last entry,
// noting the longest time the event loop went without running a 5 ms timer.
struct Run {
    qint64 milliseconds = 0;
    qint64 longestStall = 0;
};

Run drop(reel::AppController& controller, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) urls << QUrl::fromLocalFile(file);
    data.setUrls(urls);

    QElapsedTimer wall, sinceTick;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    QEventLoop loop;
    QObject::connect(&controller.intake(), &reel::PlaylistIntake::finished, &loop, &QEventLoop::quit);
    wall.start();
    sinceTick.start();
    ticker.start();
    controller.outlets().tableView->model()->dropMimeData(&data, Qt::CopyAction, 0, 0, {});
    loop.exec();
    return {wall.elapsed(), longest};
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments first: wrong ones get their usage line even where no display is open.
    const QStringList files = reel::bench::tenThousandCopies(argc, argv, "intake");
    if (files.isEmpty()) return 2;
    QApplication app(argc, argv);

    reel::Interface ui;
    ui.playlistWindow().show();
    QApplication::processEvents();
    reel::AppController& controller = ui.controller();

    // Warm the file cache and the code paths once, then start from empty.
    drop(controller, files.mid(0, 50));
    while (!controller.objects().empty()) {
        controller.selectRow(0);
        controller.removeItem();
    }
    QApplication::processEvents();
    const long emptyKb = residentKilobytes();

    const Run first = drop(controller, files.mid(0, 1000));
    std::printf("drop of 1,000 MP4 files: %lld ms wall, event loop never held longer than %lld ms\n",
                static_cast<long long>(first.milliseconds), static_cast<long long>(first.longestStall));
    const Run rest = drop(controller, files.mid(1000));
    std::printf("drop of 9,000 more: %lld ms wall, longest stall %lld ms\n",
                static_cast<long long>(rest.milliseconds), static_cast<long long>(rest.longestStall));
    QApplication::processEvents();
    const long fullKb = residentKilobytes();
    std::printf("playlist of %zu entries: %.1f MB resident above the empty one (%.0f bytes an entry)\n",
                controller.objects().size(), double(fullKb - emptyKb) / 1024.0,
                double(fullKb - emptyKb) * 1024.0 / double(controller.objects().size()));
    return 0;
}
