// session_churn STATE_FOLDER SEED: a player that adds, removes and moves entries without end, for a
// test to kill at random moments. Before each change it prints the checksums of the names in order
// before and after it ("change N BEFORE AFTER"); after it, it waits until the state file holds it.

#include <QApplication>
#include <QCryptographicHash>
#include <QEventLoop>
#include <cstdio>
#include <random>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "app/session_keeper.h"
#include "platform/log.h"
#include "platform/state_file.h"
#include "support/fake_movie_view.h"

using namespace reel;

namespace {

QByteArray checksum(const QStringList& names) {
    return QCryptographicHash::hash(names.join('\n').toUtf8(), QCryptographicHash::Sha1).toHex();
}

QStringList names(const AppController& c) {
    QStringList list;
    for (const EntryRecord& e : c.objects()) list << QString::fromStdString(e.name);
    return list;
}

std::vector<PlaylistLine> newLines(int first, int count) {
    std::vector<PlaylistLine> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back({QStringLiteral("/nowhere/movie-%1.mp4").arg(first + i), {}, -1});
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    QApplication app(argc, argv);
    platform::setLogEnabled(false);
    Interface ui([] { return std::make_unique<fake::MovieView>(); });
    AppController& c = ui.controller();
    SessionKeeper keeper(c, QString::fromLocal8Bit(argv[1]));
    keeper.start(false, {});
    std::mt19937 random(unsigned(std::atoi(argv[2])));

    const auto settle = [&](quint64 generation) {
        QEventLoop loop;
        QObject::connect(&keeper.file(), &platform::StateFile::saved, &loop, [&](quint64 saved) {
            if (saved >= generation) loop.quit();
        });
        loop.exec();
    };
    int made = 3000;
    c.intake().addLines(newLines(0, made));
    c.intake().finish();
    settle(keeper.recordNow());

    for (int change = 1;; ++change) {
        QStringList after = names(c);
        const int count = int(after.size());
        const int kind = int(random() % 3);
        int adding = 0, row = 0, destination = 0;
        if (kind == 0 || count < 10) {
            adding = 1 + int(random() % 200);
            for (const PlaylistLine& line : newLines(made, adding)) after << line.location;
        } else {
            row = int(random() % unsigned(count));
            destination = int(random() % unsigned(count + 1));  // the row goes before this one
            if (kind == 1) after.removeAt(row);
            if (kind == 2) after.move(row, destination > row ? destination - 1 : destination);
        }
        std::printf("change %d %s %s\n", change, checksum(names(c)).constData(), checksum(after).constData());
        std::fflush(stdout);
        if (adding) {
            c.intake().addLines(newLines(made, adding));
            c.intake().finish();
            made += adding;
        } else if (kind == 1) {
            c.selectRow(row);
            c.removeItem();
        } else {
            c.moveEntries({row}, destination);
        }
        settle(keeper.recordNow());
    }
}
