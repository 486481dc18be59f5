// Time from the controller viewing a playlist entry to the movie's first
// picture on screen, through the real interface and the real mpv view.
//
//   first_frame [--runs N] [--fresh] [--pause-first] [--mpv-log DIR] FILE
//
// Each run selects row 0 and calls viewItem(); the clock stops when the new
// view says its first frame is shown. By default one interface serves every
// run, so from the second run on viewItem() also drops the previous view;
// --fresh builds a new interface for each run (the first view after start-up).
// Besides the total, the moments the player's own signals arrive are printed,
// to tell where the time goes; --mpv-log keeps each run's mpv log as
// DIR/run-N.log for a closer look (logging slows mpv down a little).
// --pause-first pauses the previous movie and lets the picture settle before
// the clock starts, to show what dropping a view that is still playing costs.

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "platform/mpv_movie_view.h"
#include "platform/mpv_player.h"

using namespace reel;

namespace {

constexpr int kTimeoutMilliseconds = 10000;

struct Run {
    double returned = -1;   // viewItem() came back
    double loaded = -1;     // mpv reported the file loaded
    double restarted = -1;  // mpv reported playback (re)started
    double shown = -1;      // the view said its first frame is on screen
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    if (n == 0) return -1;
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::unique_ptr<Interface> makeInterface(const QString& file) {
    auto ui = std::make_unique<Interface>();
    ui->playlistWindow().show();  // as the program starts
    ui->controller().openPanelDidEnd({file}, true);
    ui->controller().intake().finish();
    return ui;
}

// Lets the windows settle and the previous movie play a little, as a person would.
void settle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

std::optional<Run> viewOnce(Interface& ui) {
    AppController& c = ui.controller();
    c.selectRow(0);
    c.showSelectedEntryInfo();

    Run run;
    QEventLoop loop;
    QElapsedTimer clock;
    auto ms = [&clock] { return double(clock.nsecsElapsed()) / 1e6; };

    clock.start();
    c.viewItem();
    run.returned = ms();

    auto* view = dynamic_cast<platform::MpvMovieView*>(c.view());
    if (!view) {
        std::fprintf(stderr, "first_frame: viewItem() made no mpv view\n");
        return std::nullopt;
    }
    platform::MpvPlayer* player = &view->player();
    QObject::connect(player, &platform::MpvPlayer::fileLoaded, &loop, [&] {
        if (run.loaded < 0) run.loaded = ms();
    });
    QObject::connect(player, &platform::MpvPlayer::playbackRestarted, &loop, [&] {
        if (run.restarted < 0) run.restarted = ms();
    });
    QObject::connect(view, &platform::MpvMovieView::firstFrameShown, &loop, [&] {
        run.shown = ms();
        loop.quit();
    });
    QTimer::singleShot(kTimeoutMilliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(player, nullptr, &loop, nullptr);
    QObject::disconnect(view, nullptr, &loop, nullptr);
    if (run.shown < 0) {
        std::fprintf(stderr, "first_frame: no first frame within %d ms\n", kTimeoutMilliseconds);
        return std::nullopt;
    }
    return run;
}

// A moment in ms, or "-" for one that did not happen.
std::string text(double ms) {
    if (ms < 0) return "-";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", ms);
    return buffer;
}

int usage() {
    std::fputs("usage: first_frame [--runs N] [--fresh] [--pause-first] [--mpv-log DIR] FILE\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 10;
    bool fresh = false;
    QString file;
    QString logDir;
    bool pauseFirst = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--fresh") == 0) {
            fresh = true;
        } else if (std::strcmp(argv[i], "--pause-first") == 0) {
            pauseFirst = true;
        } else if (std::strcmp(argv[i], "--mpv-log") == 0 && i + 1 < argc) {
            logDir = QString::fromLocal8Bit(argv[++i]);
        } else if (argv[i][0] != '-' && file.isEmpty()) {
            file = QString::fromLocal8Bit(argv[i]);
        } else {
            return usage();
        }
    }
    if (file.isEmpty() || runs < 1) return usage();

    // Viewing saves the volume: keep the benchmark's settings away from the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    QApplication app(argc, argv);
    std::unique_ptr<Interface> ui = makeInterface(file);
    settle(500);

    const QByteArray baseOptions = qgetenv("REEL_MPV_OPTIONS");
    std::vector<double> totals;
    for (int i = 1; i <= runs; ++i) {
        if (fresh && i > 1) {
            ui.reset();
            ui = makeInterface(file);
            settle(500);
        }
        if (!logDir.isEmpty()) {
            // The session's mpv core reads the options as it starts: with --fresh, a log per run.
            QByteArray options = baseOptions;
            if (!options.isEmpty()) options += ',';
            options += "log-file=" + QDir(logDir).filePath(QString("run-%1.log").arg(i)).toLocal8Bit();
            qputenv("REEL_MPV_OPTIONS", options);
        }
        if (pauseFirst) {
            if (MovieView* old = ui->controller().view()) {
                // The pause reaches mpv a moment later, and its last picture is painted meanwhile.
                old->stop();
                settle(200);
            }
        }
        const std::optional<Run> run = viewOnce(*ui);
        if (!run) return 1;
        totals.push_back(run->shown);
        std::printf("run %d: %.1f ms  (viewItem returned %s, file loaded %s, playback restarted %s)\n", i,
                    run->shown, text(run->returned).c_str(), text(run->loaded).c_str(),
                    text(run->restarted).c_str());
        std::fflush(stdout);
        settle(700);
    }
    std::printf("median: %.1f ms over %d runs\n", median(totals), runs);
    return 0;
}
