// A player that changes its playlist without end, for a test to kill at
// random moments. Before each change it prints what the list is and what it
// will be ("change N BEFORE AFTER", checksums of the names in order); after
// it, it waits until the state file holds the change.
//
//   session_churn STATE_FOLDER SEED

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
    int made = 0;
    c.intake().addLines(newLines(made, 3000));
    c.intake().finish();
    made += 3000;
    settle(keeper.recordNow());

    for (int change = 1;; ++change) {
        QStringList after = names(c);
        const int count = int(after.size());
        const int kind = int(random() % 3);
        std::vector<int> rows;
        int destination = 0;
        int adding = 0;
        if (kind == 0 || count < 10) {
            adding = 1 + int(random() % 200);
            for (const PlaylistLine& line : newLines(made, adding)) after << line.location;
        } else if (kind == 1) {
            rows = {int(random() % unsigned(count))};
            after.removeAt(rows[0]);
        } else {
            for (int n = 1 + int(random() % 5); n-- > 0;) rows.push_back(int(random() % unsigned(count)));
            std::sort(rows.begin(), rows.end());
            rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
            destination = int(random() % unsigned(count + 1));
            QStringList moved, rest;
            for (int r = 0; r < count; ++r)
                (std::binary_search(rows.begin(), rows.end(), r) ? moved : rest) << after[r];
            int at = 0;
            for (int r = 0; r < destination; ++r)
                at += std::binary_search(rows.begin(), rows.end(), r) ? 0 : 1;
            for (int i = 0; i < moved.size(); ++i) rest.insert(at + i, moved[i]);
            after = rest;
        }
        std::printf("change %d %s %s\n", change, checksum(names(c)).constData(), checksum(after).constData());
        std::fflush(stdout);
        if (adding) {
            c.intake().addLines(newLines(made, adding));
            c.intake().finish();
            made += adding;
        } else if (kind == 1) {
            c.selectRow(rows[0]);
            c.removeItem();
        } else {
            c.moveEntries(rows, destination);
        }
        if (names(c) != after) {
            std::fprintf(stderr, "change %d did not make the list expected\n", change);
            return 1;
        }
        settle(keeper.recordNow());
    }
}
