// One player per session, as a desktop meets it: real `reel` processes on a
// session bus of the test's own (run under dbus-run-session), with Qt's
// offscreen platform and no picture or sound.

#include <signal.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <set>

namespace {

const QString kName = QStringLiteral("org.reelplayer.Reel");
const QString kPath = QStringLiteral("/org/reelplayer/Reel");

QString media(const QString& name) { return qEnvironmentVariable("REEL_TEST_MEDIA") + "/" + name; }

QDBusConnection bus() { return QDBusConnection::sessionBus(); }

// A call to a player, by its well-known name or its own connection's.
QDBusMessage call(const QString& service, const QString& method, const QVariantList& args = {},
                  int timeout = 5000) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, kPath, kName, method);
    message.setArguments(args);
    return bus().call(message, QDBus::Block, timeout);
}

// The player's entries, or nothing when it does not answer as a player.
std::optional<QByteArrayList> entriesOf(const QString& service) {
    const QDBusMessage reply = call(service, "Entries");
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != "aay") return std::nullopt;
    QByteArrayList paths;
    reply.arguments().at(0).value<QDBusArgument>() >> paths;
    return paths;
}

QByteArrayList entries(const QString& service = kName) {
    return entriesOf(service).value_or(QByteArrayList{});
}

qint64 ownerPid() {
    const QDBusReply<uint> pid = bus().interface()->servicePid(kName);
    return pid.isValid() ? qint64(pid.value()) : -1;
}

// The connection through which process `pid` serves as a player, if it does.
QString playerConnectionOf(qint64 pid) {
    for (const QString& name : bus().interface()->registeredServiceNames().value()) {
        if (!name.startsWith(':')) continue;
        const QDBusReply<uint> owner = bus().interface()->servicePid(name);
        if (owner.isValid() && qint64(owner.value()) == pid && entriesOf(name)) return name;
    }
    return {};
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    QTemporaryDir files_;
    QTemporaryDir config_;
    QTemporaryDir logs_;
    std::unique_ptr<QTemporaryDir> state_ = std::make_unique<QTemporaryDir>();
    std::vector<std::unique_ptr<QProcess>> processes_;

    // `reel ARGS` started from `directory`; its stderr is kept.
    QProcess& reel(const QStringList& args, const QString& directory = {},
                   const QProcessEnvironment& extra = {}) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("REEL_MPV_OPTIONS", "vo=null,ao=null");
        environment.insert("XDG_CONFIG_HOME", config_.path());
        // Players are killed at the end of each test: the next must not ask whether to restore their lists.
        environment.insert("XDG_STATE_HOME", state_->path());
        for (const QString& key : extra.keys()) environment.insert(key, extra.value(key));
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(directory.isEmpty() ? files_.path() : directory);
        process->setStandardInputFile(QProcess::nullDevice());
        // A file, not a pipe: a player writing a long log never waits for the test to read it.
        process->setStandardErrorFile(logs_.filePath(QString::number(processes_.size())));
        process->start(qEnvironmentVariable("REEL_BINARY"), args);
        processes_.push_back(std::move(process));
        return *processes_.back();
    }

    bool saidSo(const QProcess& process, const QString& part) {
        for (std::size_t i = 0; i < processes_.size(); ++i) {
            if (processes_[i].get() != &process) continue;
            QFile log(logs_.filePath(QString::number(i)));
            return log.open(QIODevice::ReadOnly) && log.readAll().contains(part.toUtf8());
        }
        return false;
    }

    // A movie under the test's files folder; its absolute name as the player keeps it.
    QByteArray movie(const QString& name) {
        const QString path = files_.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        if (!QFileInfo::exists(path)) QFile::link(media("mpeg4_mp3.mp4"), path);
        return QFile::encodeName(path);
    }

    // Whether the process became the session's player and serves.
    static bool serving(const QProcess& process) {
        return QTest::qWaitFor([&] { return ownerPid() == process.processId() && entriesOf(kName); }, 30000);
    }

    static bool endedWell(QProcess& process) {
        return process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

private slots:
    void initTestCase() {
        QVERIFY2(bus().isConnected(), "run under dbus-run-session");
        qDBusRegisterMetaType<QByteArrayList>();
    }

    void cleanup() {
        for (auto& process : processes_) {
            if (process->state() == QProcess::NotRunning) continue;
            ::kill(pid_t(process->processId()), SIGCONT);
            process->kill();
            process->waitForFinished(10000);
        }
        processes_.clear();
        state_ = std::make_unique<QTemporaryDir>();
        QTRY_VERIFY_WITH_TIMEOUT(!bus().interface()->isServiceRegistered(kName).value(), 10000);
    }

    void filesGoToTheRunningPlayerAndTheCommandEnds() {
        const QByteArray a = movie("a.mp4"), b = movie("b.mp4"), c = movie("sub/c.MOV");
        QProcess& first = reel({"a.mp4"});
        QVERIFY(serving(first));
        QTRY_COMPARE(entries(), QByteArrayList({a}));

        // Relative names are made against the second command's own directory.
        QProcess& second = reel({"../b.mp4", "./c.MOV", "missing.mp4", "notes.txt", "../sub/../b.mp4"},
                                files_.filePath("sub"));
        QVERIFY(second.waitForFinished(30000));
        QVERIFY(endedWell(second));
        QTRY_COMPARE(entries(), QByteArrayList({a, b, c, b}));
        QTRY_VERIFY(saidSo(first, "another Reel handed over 5 files"));
        QCOMPARE(ownerPid(), first.processId());

        // --play reaches the player with the files; with none, the player only comes forward.
        QProcess& play = reel({"--play", "a.mp4"});
        QVERIFY(play.waitForFinished(30000));
        QVERIFY(endedWell(play));
        QTRY_VERIFY(saidSo(first, "another Reel handed over 1 file, to play"));
        QProcess& bare = reel({});
        QVERIFY(bare.waitForFinished(30000));
        QVERIFY(endedWell(bare));
        QTRY_VERIFY(saidSo(first, "another Reel handed over 0 files"));
        QTRY_COMPARE(entries(), QByteArrayList({a, b, c, b, a}));
        QCOMPARE(first.state(), QProcess::Running);
    }

    void thirtyAtOnceMakeOnePlayerWithEachCommandsFilesOnceInOrder() {
        // As a file manager opening files starts a command for each, with no player yet;
        // two files to each command, so that their order shows.
        std::vector<QByteArrayList> wanted;
        std::vector<QProcess*> started;
        for (int i = 0; i < 30; ++i) {
            const QStringList names{QString("storm%1-z.mp4").arg(i), QString("storm%1-a.mp4").arg(i)};
            wanted.push_back({movie(names[0]), movie(names[1])});
            started.push_back(&reel(names));
        }
        const auto running = [&] {
            return std::count_if(started.begin(), started.end(),
                                 [](QProcess* p) { return p->state() != QProcess::NotRunning; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(running() == 1 && ownerPid() > 0 && entries().size() == 60, 120000);
        for (QProcess* process : started) {
            if (process->state() == QProcess::NotRunning)
                QVERIFY(endedWell(*process));
            else
                QCOMPARE(process->processId(), ownerPid());
        }
        const QByteArrayList got = entries();
        for (const QByteArrayList& set : wanted) {
            const qsizetype at = got.indexOf(set.first());
            QVERIFY(at >= 0);
            QCOMPARE(got.mid(at, 2), set);
            QCOMPARE(got.count(set.first()) + got.count(set.last()), 2);
        }
    }

    void aBusyPlayerTakesMoreAfterWhatItIsAdding() {
        QStringList thousand;
        QByteArrayList expected;
        for (int i = 0; i < 1000; ++i) {
            thousand << QString("busy/%1.mp4").arg(i, 4, 10, QChar('0'));
            expected << movie(thousand.last());
        }
        QProcess& first = reel(thousand);
        QVERIFY(serving(first));
        for (int i = 0; i < 3; ++i) {
            expected << movie(QString("later%1.mp4").arg(i));
            QProcess& more = reel({QString("later%1.mp4").arg(i)});
            // One at a time, so that their order is known.
            QVERIFY(more.waitForFinished(30000));
            QVERIFY(endedWell(more));
        }
        QTRY_VERIFY_WITH_TIMEOUT(entries().size() == 1003, 120000);
        QCOMPARE(entries(), expected);
    }

    // A new window, and a player that does not answer: each makes a player of its own.
    void aNewWindowOrAStuckPlayerMakesAPlayerOfItsOwn() {
        const QByteArray a = movie("a.mp4"), b = movie("b.mp4"), z = movie("z.mp4");
        QProcess& first = reel({"a.mp4"});
        QVERIFY(serving(first));
        QProcess& second = reel({"--new-window", "z.mp4"});
        QString connection;
        QTRY_VERIFY_WITH_TIMEOUT(!(connection = playerConnectionOf(second.processId())).isEmpty(), 30000);
        QTRY_COMPARE(entries(connection), QByteArrayList({z}));
        QCOMPARE(ownerPid(), first.processId());
        QCOMPARE(entries(), QByteArrayList({a}));

        ::kill(pid_t(first.processId()), SIGSTOP);
        QProcess& third = reel({"b.mp4"});
        QTRY_VERIFY_WITH_TIMEOUT(saidSo(third, "did not answer within 1000 ms"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!(connection = playerConnectionOf(third.processId())).isEmpty(), 30000);
        QTRY_COMPARE(entries(connection), QByteArrayList({b}));
        QCOMPARE(third.state(), QProcess::Running);
    }

    void withoutASessionBusItIsAPlayerOfItsOwn() {
        QProcessEnvironment noBus;
        noBus.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + files_.filePath("no-bus-here"));
        movie("a.mp4");
        QProcess& alone = reel({"a.mp4"}, {}, noBus);
        QTRY_VERIFY_WITH_TIMEOUT(saidSo(alone, "no session bus"), 30000);
        // The intake names the codecs of each file it adds.
        QTRY_VERIFY_WITH_TIMEOUT(saidSo(alone, "vCodec"), 30000);
        QCOMPARE(alone.state(), QProcess::Running);
        QVERIFY(!bus().interface()->isServiceRegistered(kName).value());
    }

    void aBusThatRefusesTheNameGetsAPlayerAtOnce() {
        // A session bus of this test's own whose policy lets nobody own the player's name.
        QFile config(files_.filePath("refusing.conf"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><include>/usr/share/dbus-1/session.conf</include>\n"
            "<policy context=\"mandatory\"><deny own=\"org.reelplayer.Reel\"/></policy></busconfig>\n");
        config.close();
        QProcess daemon;
        daemon.start("dbus-daemon", {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
        QVERIFY(daemon.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        const auto stopDaemon = qScopeGuard([&] {
            daemon.kill();
            daemon.waitForFinished();
        });
        QProcessEnvironment refusing;
        refusing.insert("DBUS_SESSION_BUS_ADDRESS", address);
        movie("a.mp4");
        QProcess& alone = reel({"a.mp4"}, {}, refusing);
        QTRY_VERIFY_WITH_TIMEOUT(saidSo(alone, "the session bus refused org.reelplayer.Reel"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(saidSo(alone, "vCodec"), 30000);
        QVERIFY(!saidSo(alone, "was not ready after"));
        QCOMPARE(alone.state(), QProcess::Running);
    }

    void badRequestsOverTheBusLoseNothing() {
        const QByteArray a = movie("a.mp4"), b = movie("b.mp4"), c = movie("c.mp4");
        QProcess& first = reel({"a.mp4"});
        QVERIFY(serving(first));
        QTRY_COMPARE(entries(), QByteArrayList({a}));

        const QByteArrayList odd = {"relative.mp4", "/tmp/caf\xe9.mp4", movie("gone/../missing.mp4"), b};
        QFile::remove(files_.filePath("missing.mp4"));
        QDBusMessage reply = call(kName, "Open", {QVariant::fromValue(odd), false});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(entries(), QByteArrayList({a, b}));
        QTRY_VERIFY(saidSo(first, "skipped \"/tmp/caf\\udce9.mp4\": "));  // a name of bytes, but not there

        // Arguments of the wrong kind are refused with a reason, and logged.
        reply = call(kName, "Open", {QString("a.mp4")});
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QTRY_VERIFY(saidSo(first, "the arguments were (s), not (aayb)"));

        // A hundred thousand names, none of them there, and one that is.
        QByteArrayList flood;
        for (int i = 0; i < 100000; ++i) flood << files_.filePath("flood/%1.mp4").arg(i).toUtf8();
        flood << c;
        reply = call(kName, "Open", {QVariant::fromValue(flood), false}, 30000);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(saidSo(first, "another Reel handed over 100001 files"));
        QTRY_VERIFY_WITH_TIMEOUT(entries().size() == 3, 240000);
        QCOMPARE(entries(), QByteArrayList({a, b, c}));
        QCOMPARE(first.state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "test_single_instance.moc"
