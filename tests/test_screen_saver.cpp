// The screen kept awake while a movie plays, against a stand-in screen saver and portal on a private bus.

#include <QtDBus>
#include <QtTest>
#include <optional>

#include "app/desktop_controls.h"
#include "platform/log.h"
#include "platform/screen_saver.h"
#include "support/log_recorder.h"
#include "support/qt_support.h"
#include "transport/fade_window.h"
#include "ui/image_button.h"

using namespace reel;

namespace {

const QString kMock = QStringLiteral("org.reelplayer.ScreenSaverMock");

// The stand-in, a process of its own, asked over the bus what it holds.
class MockScreenSaver {
public:
    explicit MockScreenSaver(const QStringList& options = {}) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString script = qEnvironmentVariable("REEL_TEST_SOURCE") + "/mock_screensaver.py";
        process_.start(qEnvironmentVariable("REEL_PYTHON", "python3"), QStringList{script} + options);
        ready_ = process_.waitForReadyRead(20000) && process_.readLine().trimmed() == "ready";
    }
    ~MockScreenSaver() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished(5000);
    }
    bool ready() const { return ready_; }
    uint held() { return ask<uint>("HeldCount"); }
    QStringList events() { return ask<QStringList>("Events"); }

private:
    template <typename T>
    T ask(const char* method) {
        const QDBusMessage call =
            QDBusMessage::createMethodCall(kMock, "/org/freedesktop/ScreenSaver", kMock, method);
        const QDBusReply<T> reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
        return reply.isValid() ? reply.value() : T();
    }

    QProcess process_;
    bool ready_ = false;
};

}  // namespace

class ScreenSaverTest : public test::InterfaceTest {
    Q_OBJECT

    test::LogRecorder log_;

    QString clip(const QString& name, int seconds) { return test::makeClip(files_.filePath(name), seconds); }
    // The means, said once however often the screen is kept awake.
    bool saidOnce(const std::string& means) {
        return log_.count("screen saver") == 1 && log_.count("screen saver kept off through " + means) == 1;
    }
    static QDBusMessage mpris(const char* interface, const char* method) {
        return QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            "org.mpris.MediaPlayer2.reel", "/org/mpris/MediaPlayer2", interface, method));
    }

private slots:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
        qputenv("REEL_MPV_OPTIONS", "vo=null,ao=null");
        platform::setLogEnabled(true);
    }
    void init() {
        relaunch();
        log_.take();
    }

    // Held once across advances, let go on pause and at the end: screen saver, portal, else the X server.
    void eachMeansIsHeldWhilePlayingAndLetGo() {
        const struct {
            const char* serves;
            const char* taken;
            const char* released;
            const char* means;
        } cases[] = {
            // The idle flag alone: logging out and suspending stay the user's.
            {"--portal", "portal-inhibit %1 flags=8", "close %1", "org.freedesktop.portal.Inhibit"},
            {"--both", "inhibit %1 Reel", "uninhibit %1", "org.freedesktop.ScreenSaver"},
            {nullptr, nullptr, nullptr, "the X screen saver reset and DPMS"},
        };
        for (const auto& k : cases) {
            relaunch();
            log_.take();
            std::optional<MockScreenSaver> mock;
            if (k.serves) mock.emplace(QStringList{k.serves});
            QVERIFY(!mock || mock->ready());
            add({clip("long1.mp4", 8), clip("short1.mp4", 1), clip("short2.mp4", 1)});
            viewRow(0);
            platform::ScreenSaverInhibitor& inhibitor = interface().desktopControls().screenSaver();
            QTRY_VERIFY(inhibitor.held());
            ui().mainButton->click();  // pause
            QTRY_VERIFY(!inhibitor.held());
            ui().mainButton->click();  // play again
            QTRY_VERIFY(inhibitor.held());
            // Scanning forward is still watching.
            post(FastCommand::Forward);
            c().checkTime();
            QVERIFY(inhibitor.held());
            post(FastCommand::Play);
            // The last entry played to its end: the viewer is gone, the screen may sleep.
            c().moveTo(7.5);
            QTRY_COMPARE_WITH_TIMEOUT(c().selectedRow(), 2, 15000);
            QTRY_VERIFY_WITH_TIMEOUT(!ui().viewerWindow->isVisible(), 15000);
            QTRY_VERIFY(!inhibitor.held());
            // Joined, so that a failure shows what the stand-in saw.
            if (mock)
                QTRY_COMPARE(mock->events().join(", "),
                             QStringList({QString(k.taken).arg(1), QString(k.released).arg(1),
                                          QString(k.taken).arg(2), QString(k.released).arg(2)})
                                 .join(", "));
            QVERIFY(saidOnce(k.means));
        }
    }

    // A screen saver that never answers holds nothing up: once the call gives up, the portal serves.
    void aSilentScreenSaverHoldsNothingUp() {
        MockScreenSaver mock({"--both", "--silent"});
        QVERIFY(mock.ready());
        platform::ScreenSaverInhibitor inhibitor(QDBusConnection::sessionBus());
        inhibitor.setWanted(true);
        QVERIFY(!inhibitor.held());  // returned without the answer
        QTRY_VERIFY_WITH_TIMEOUT(inhibitor.held(), 15000);
        QCOMPARE(inhibitor.means(), platform::ScreenSaverInhibitor::Means::Portal);
        inhibitor.setWanted(false);
        QTRY_VERIFY(!inhibitor.held());
        QTRY_COMPARE(mock.events().join(", "), QString("portal-inhibit 1 flags=8, close 1"));
    }

    // A player quit from the desktop lets go before it ends.
    void aPlayerQuitFromTheDesktopLetsGo() {
        MockScreenSaver mock;
        QVERIFY(mock.ready());
        // A player process of its own, played as a media key would, with session state of its own.
        QTemporaryDir state;
        QProcess player;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_STATE_HOME", state.path());
        player.setProcessEnvironment(environment);
        player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        player.start(qEnvironmentVariable("REEL_BINARY"), {clip("long1.mp4", 8)});
        QTRY_VERIFY_WITH_TIMEOUT(
            mpris("org.mpris.MediaPlayer2.Player", "Play").type() == QDBusMessage::ReplyMessage, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(mock.held(), 1u, 15000);
        QCOMPARE(mpris("org.mpris.MediaPlayer2", "Quit").type(), QDBusMessage::ReplyMessage);
        QVERIFY(player.waitForFinished(15000));
        QTRY_COMPARE(mock.events(), QStringList({"inhibit 1 Reel", "uninhibit 1"}));
    }
};

QTEST_MAIN(ScreenSaverTest)
#include "test_screen_saver.moc"
