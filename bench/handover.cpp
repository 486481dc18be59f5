// Times `reel FILES` handing its files to a running player, next to a fresh
// player started on the same files: how long the command takes to end, and
// when the player lists every file. Runs on the session bus it is given
// (bench/handover starts one); prints figures and asserts nothing.
//
// Usage: handover REEL FILE_DIR RUNS COUNT...

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

const QString kName = QStringLiteral("org.reelplayer.Reel");

// The number of entries the session's player lists, or nothing while none answers.
std::optional<qsizetype> listed() {
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kName, "/org/reelplayer/Reel", "org.reelplayer.Reel", "Entries");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) return std::nullopt;
    QByteArrayList paths;
    reply.arguments().at(0).value<QDBusArgument>() >> paths;
    return paths.size();
}

// Milliseconds from `since` until the player lists `count` entries; -1 after a minute.
double whenListed(const QElapsedTimer& since, qsizetype count) {
    while (since.elapsed() < 60000) {
        if (listed().value_or(-1) >= count) return double(since.nsecsElapsed()) / 1e6;
        QThread::usleep(500);
    }
    return -1;
}

std::unique_ptr<QProcess> start(const QString& reel, const QStringList& args) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(reel, args);
    process->waitForStarted();
    return process;
}

void stop(std::unique_ptr<QProcess>& player) {
    player->kill();
    player->waitForFinished();
    player.reset();
    // The name goes with the process; the next round starts without a player.
    while (QDBusConnection::sessionBus().interface()->isServiceRegistered(kName).value()) QThread::msleep(1);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: handover REEL FILE_DIR RUNS COUNT...\n");
        return 2;
    }
    qDBusRegisterMetaType<QByteArrayList>();
    const QString reel = args[1];
    const QDir files(args[2]);
    const int runs = args[3].toInt();

    std::printf("%-6s  %-36s  %-36s\n", "", "to a running player", "a fresh player");
    std::printf("%-6s  %17s  %17s  %17s  %17s\n", "files", "command ends ms", "all listed ms", "serving ms",
                "all listed ms");
    for (int i = 4; i < args.size(); ++i) {
        const int count = args[i].toInt();
        QStringList names;
        for (int n = 0; n < count; ++n) names << files.filePath(QString("%1.mp4").arg(n, 4, 10, QChar('0')));
        std::vector<double> ended, handedListed, serving, freshListed;
        for (int run = 0; run < runs; ++run) {
            // Handing over: a player with nothing in it is already serving.
            auto player = start(reel, {});
            while (!listed()) QThread::msleep(1);
            QElapsedTimer clock;
            clock.start();
            auto command = start(reel, names);
            command->waitForFinished(60000);
            ended.push_back(double(clock.nsecsElapsed()) / 1e6);
            handedListed.push_back(whenListed(clock, count));
            stop(player);

            // A fresh player on the same files.
            clock.start();
            auto fresh = start(reel, names);
            while (!listed() && clock.elapsed() < 60000) QThread::usleep(500);
            serving.push_back(double(clock.nsecsElapsed()) / 1e6);
            freshListed.push_back(whenListed(clock, count));
            stop(fresh);
        }
        std::printf("%-6d  %17.1f  %17.1f  %17.1f  %17.1f\n", count, median(ended), median(handedListed),
                    median(serving), median(freshListed));
        std::fflush(stdout);
    }
    return 0;
}
