// One player per session: real `reel` processes on a private session bus, offscreen, playing to null.

#include <signal.h>

#include <QtDBus>
#include <QtTest>
#include <memory>
#include <optional>

namespace {

const QString kName = QStringLiteral("org.reelplayer.Reel");
const QString kPath = QStringLiteral("/org/reelplayer/Reel");

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

// The process that owns the player's name; 0 for none.
qint64 ownerPid() { return bus().interface()->servicePid(kName).value(); }

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
        environment.insert(extra);
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(directory.isEmpty() ? files_.path() : directory);
        process->setStandardInputFile(QProcess::nullDevice());
        // A file, not a pipe: a player writing a long log never waits for the test to read it.
        process->setObjectName(logs_.filePath(QString::number(processes_.size())));
        process->setStandardErrorFile(process->objectName());
        process->start(qEnvironmentVariable("REEL_BINARY"), args);
        processes_.push_back(std::move(process));
        return *processes_.back();
    }

    static bool saidSo(const QProcess& process, const QString& part) {
        QFile log(process.objectName());
        return log.open(QIODevice::ReadOnly) && log.readAll().contains(part.toUtf8());
    }

    // A movie under the test's files folder; its absolute name as the player keeps it.
    QByteArray movie(const QString& name) {
        const QString path = files_.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile::link(qEnvironmentVariable("REEL_TEST_MEDIA") + "/mpeg4_mp3.mp4", path);
        return QFile::encodeName(path);
    }

    static bool endedWell(QProcess& process) {
        return process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    // Whether `reel ARGS` handed its files to the running player and ended well.
    bool handsOver(const QStringList& args, const QString& directory = {}) {
        QProcess& process = reel(args, directory);
        return process.waitForFinished(30000) && endedWell(process);
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

    void filesGoToTheRunningPlayerUnlessItCannotTakeThem() {
        const QByteArray a = movie("a.mp4"), b = movie("b.mp4"), c = movie("sub/c.MOV"), z = movie("z.mp4");
        QProcess& first = reel({"a.mp4"});
        QTRY_VERIFY_WITH_TIMEOUT(ownerPid() == first.processId() && entriesOf(kName), 30000);
        QTRY_COMPARE(entries(), QByteArrayList({a}));

        // Relative names are made against the second command's own directory.
        QVERIFY(handsOver({"../b.mp4", "./c.MOV", "missing.mp4", "notes.txt", "../sub/../b.mp4"},
                          files_.filePath("sub")));
        QTRY_COMPARE(entries(), QByteArrayList({a, b, c, b}));
        QTRY_VERIFY(saidSo(first, "another Reel handed over 5 files"));

        // --play reaches the player with the files; with none, the player only comes forward.
        QVERIFY(handsOver({"--play", "a.mp4"}));
        QTRY_VERIFY(saidSo(first, "another Reel handed over 1 file, to play"));
        QVERIFY(handsOver({}));
        QTRY_VERIFY(saidSo(first, "another Reel handed over 0 files"));
        QTRY_COMPARE(entries(), QByteArrayList({a, b, c, b, a}));

        // Arguments of the wrong kind are refused with a reason, and logged.
        QCOMPARE(call(kName, "Open", {QString("a.mp4")}).type(), QDBusMessage::ErrorMessage);
        QTRY_VERIFY(saidSo(first, "the arguments were (s), not (aayb)"));
        // A hundred thousand names that are not there, one that is not UTF-8, and one that is there.
        QByteArrayList flood;
        for (int i = 0; i < 100000; ++i) flood << files_.filePath("flood/%1.mp4").arg(i).toUtf8();
        flood << "/tmp/caf\xe9.mp4" << z;
        QCOMPARE(call(kName, "Open", {QVariant::fromValue(flood), false}, 30000).type(),
                 QDBusMessage::ReplyMessage);
        QTRY_VERIFY(saidSo(first, "another Reel handed over 100002 files"));
        QTRY_COMPARE_WITH_TIMEOUT(entries(), QByteArrayList({a, b, c, b, a, z}), 240000);
        QVERIFY(saidSo(first, "skipped \"/tmp/caf\\udce9.mp4\": "));  // its bytes came through

        // A new window, and a player that does not answer: each makes a player of its own.
        QProcess& second = reel({"--new-window", "z.mp4"});
        QString connection;
        QTRY_VERIFY_WITH_TIMEOUT(!(connection = playerConnectionOf(second.processId())).isEmpty(), 30000);
        QTRY_COMPARE(entries(connection), QByteArrayList({z}));
        QCOMPARE(ownerPid(), first.processId());
        QCOMPARE(entries().size(), 6);

        ::kill(pid_t(first.processId()), SIGSTOP);
        QProcess& third = reel({"b.mp4"});
        QTRY_VERIFY_WITH_TIMEOUT(saidSo(third, "did not answer within 1000 ms"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!(connection = playerConnectionOf(third.processId())).isEmpty(), 30000);
        QTRY_COMPARE(entries(connection), QByteArrayList({b}));
    }

    void thirtyAtOnceMakeOnePlayerWithEachCommandsFilesOnceInOrder() {
        // As a file manager starts a command for each file; two to each, so that their order shows.
        std::vector<QByteArrayList> wanted;
        std::vector<QProcess*> started;
        for (int i = 0; i < 30; ++i) {
            const QStringList names{QString("storm%1-z.mp4").arg(i), QString("storm%1-a.mp4").arg(i)};
            wanted.push_back({movie(names[0]), movie(names[1])});
            started.push_back(&reel(names));
        }
        QTRY_VERIFY_WITH_TIMEOUT(ownerPid() > 0 && entries().size() == 60, 120000);
        for (QProcess* process : started) {  // all but the player end, and end well
            if (process->processId() == ownerPid()) continue;
            process->waitForFinished(30000);
            QVERIFY(endedWell(*process));
        }
        const QByteArrayList got = entries();
        for (const QByteArrayList& set : wanted)  // sixty entries: none lost, none twice
            QCOMPARE(got.mid(got.indexOf(set.first()), 2), set);
    }

    // No session bus, or one whose policy lets nobody own the player's name: a player of its own, at once.
    void withoutTheBusNameItIsAPlayerOfItsOwn() {
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
        const auto stopDaemon = qScopeGuard([&] {
            daemon.kill();
            daemon.waitForFinished();
        });
        movie("a.mp4");
        const struct {
            QString address;
            const char* said;
        } buses[] = {
            {"unix:path=" + files_.filePath("no-bus-here"), "no session bus"},
            {QString::fromUtf8(daemon.readLine()).trimmed(), "the session bus refused org.reelplayer.Reel"},
        };
        for (const auto& k : buses) {
            QProcessEnvironment environment;
            environment.insert("DBUS_SESSION_BUS_ADDRESS", k.address);
            QProcess& alone = reel({"a.mp4"}, {}, environment);
            QTRY_VERIFY_WITH_TIMEOUT(saidSo(alone, k.said), 30000);
            // The intake names the codecs of each file it adds.
            QTRY_VERIFY_WITH_TIMEOUT(saidSo(alone, "vCodec"), 30000);
            QVERIFY(!saidSo(alone, "was not ready after"));
        }
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "test_single_instance.moc"
