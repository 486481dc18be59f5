// The desktop's media controls (MPRIS) from a QtDBus client on a private bus; mpv plays to null.

#include <QMainWindow>
#include <QPushButton>
#include <QSlider>
#include <QtDBus>
#include <QtTest>
#include <limits>

#include "app/desktop_controls.h"
#include "platform/mpris_service.h"
#include "support/media.h"
#include "support/qt_support.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "ui/image_button.h"

using namespace reel;

namespace {

const QString kName = QStringLiteral("org.mpris.MediaPlayer2.reel");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr qint64 kSecond = 1000000;
constexpr qlonglong kHuge = std::numeric_limits<qlonglong>::max();

}  // namespace

// What a desktop's media applet would see and send, on its own connection.
class Applet : public QObject {
    Q_OBJECT
public:
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("applet"));
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;

    Applet() {
        bus.connect(kName, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                    SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        bus.connect(kName, kPath, kPlayer, QStringLiteral("Seeked"), this, SLOT(seeked(qlonglong)));
    }
    ~Applet() override { QDBusConnection::disconnectFromBus(QStringLiteral("applet")); }

    // The reply, waited for with the event loop running: the player answers from this thread.
    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& args = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(kName, kPath, interface, method);
        message.setArguments(args);
        QDBusPendingCall pending = bus.asyncCall(message, 10000);
        if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 15000))
            return QDBusMessage::createError(QDBusError::Timeout, QStringLiteral("no answer"));
        return pending.reply();
    }
    QVariant get(const QString& name, const QString& interface = kPlayer) {
        const QDBusMessage reply = call(kProperties, QStringLiteral("Get"), {interface, name});
        if (reply.type() != QDBusMessage::ReplyMessage) return {};
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QDBusMessage player(const QString& method, const QVariantList& args = {}) {
        return call(kPlayer, method, args);
    }
    QString status() { return get(QStringLiteral("PlaybackStatus")).toString(); }
    QVariantMap metadata() {
        return qdbus_cast<QVariantMap>(get(QStringLiteral("Metadata")).value<QDBusArgument>());
    }
    QString trackId() {
        return metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
    }
    qint64 position() { return get(QStringLiteral("Position")).toLongLong(); }
    // Whether any PropertiesChanged so far carried this property (with this value, if given).
    bool told(const QString& name, const QVariant& value = {}) const {
        for (const QVariantMap& change : changes)
            if (change.contains(name) && (!value.isValid() || change.value(name) == value)) return true;
        return false;
    }

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface == kPlayer) changes << changed;
    }
    void seeked(qlonglong position) { seeks << position; }
};

class MediaControlsTest : public test::InterfaceTest {
    Q_OBJECT

    QStringList clips_;
    std::unique_ptr<Applet> applet_;

    void view(int row) {
        viewRow(row);
        QTRY_COMPARE(applet_->status(), QString("Playing"));
    }
    QString title() { return applet_->metadata().value("xesam:title").toString(); }
    bool near(qint64 position, qint64 expected) { return qAbs(position - expected) < kSecond / 10; }

private slots:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
        qputenv("REEL_MPV_OPTIONS", "vo=null,ao=null");
        for (const char* name : {"first.mp4", "second.mp4", "third.mp4"})
            clips_ << test::makeClip(files_.filePath(name), 8);
    }
    void init() {
        applet_.reset();
        relaunch();
        QVERIFY(interface().desktopControls().publish());
        applet_ = std::make_unique<Applet>();
    }

    void withNothingLoadedRequestsAreHarmlessASecondPlayerIsAnInstanceAndTheVolumeGoesBothWays() {
        QCOMPARE(applet_->get("CanPlay").toBool(), false);
        for (const char* method : {"Play", "Pause", "PlayPause", "Stop", "Next", "Previous"})
            QCOMPARE(applet_->player(method).type(), QDBusMessage::ReplyMessage);
        applet_->player("Seek", {qlonglong(kSecond)});
        QCOMPARE(applet_->status(), QString("Stopped"));
        QCOMPARE(applet_->position(), qint64(0));
        ui().mainWindow->hide();
        applet_->call("org.mpris.MediaPlayer2", "Raise");
        QTRY_VERIFY(ui().mainWindow->isVisible());

        // A second service beside this one, on a connection of its own as another player's would be.
        QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other");
        {
            platform::MprisService second(interface().desktopControls(), "org.reelplayer.Reel", {});
            QVERIFY(second.registerOn(other));
            QCOMPARE(second.busName(),
                     kName + QString(".instance%1").arg(QCoreApplication::applicationPid()));
        }
        QDBusConnection::disconnectFromBus("other");
        QCOMPARE(interface().desktopControls().service().busName(), kName);

        QSlider* slider = ui().volumeSlider;
        slider->setValue(400);
        QTRY_COMPARE(applet_->get("Volume").toDouble(), 0.4);
        QTRY_VERIFY(applet_->told("Volume", 0.4));
        const struct {
            const char* what;
            double sent;
            int slider;
        } cases[] = {
            {"too loud", 7.0, 1000},
            {"not a number", std::numeric_limits<double>::quiet_NaN(), 1000},
            {"back within", 0.6, 600},
        };
        for (const auto& k : cases) {
            applet_->call(kProperties, "Set", {kPlayer, "Volume", QVariant::fromValue(QDBusVariant(k.sent))});
            QVERIFY2(slider->value() == k.slider, k.what);
        }
    }

    void playPauseAndTheKeyboardActAsTheButtonsDoNextPreviousAndOpenUriMoveTheMetadata() {
        add(clips_);
        applet_->player("PlayPause");  // with nothing selected, from the playlist's start
        QTRY_COMPARE(applet_->status(), QString("Playing"));
        QCOMPARE(c().selectedRow(), 0);
        QVERIFY(applet_->told("PlaybackStatus", "Playing"));

        applet_->player("PlayPause");
        QTRY_COMPARE(applet_->status(), QString("Paused"));
        ui().mainButton->click();  // heard on the bus the same way
        QTRY_COMPARE(applet_->status(), QString("Playing"));

        // The keyboard reaches the controller's buttons.
        ControllerWindow* controls = ui().cWindow;
        controls->fadeIn();
        QTRY_VERIFY(controls->isVisible());
        controls->activateWindow();
        auto* ff = controls->findChild<QPushButton*>("ffButton");
        QVERIFY(ff);
        // Space or Return presses the focused seek button as a click would; Tab goes round in order.
        ff->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(ff->hasFocus());
        QTest::keyClick(ff, Qt::Key_Space);
        QTRY_COMPARE(c().selectedRow(), 1);
        for (const char* name :
             {"timeSlider", "listButton", "volumeSlider", "rwButton", "mainButton", "ffButton"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTRY_COMPARE(QApplication::focusWidget()->objectName(), QString(name));
            if (QString(name) == "rwButton") QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        QTRY_COMPARE(c().selectedRow(), 0);

        // Stop fades the viewer out.
        applet_->player("Stop");
        QTRY_COMPARE(applet_->status(), QString("Stopped"));
        QTRY_VERIFY(!ui().viewerWindow->isVisible());

        view(0);
        const QVariantMap meta = applet_->metadata();
        QCOMPARE(meta.value("xesam:url").toString(), QUrl::fromLocalFile(clips_[0]).toString());
        QVERIFY(near(meta.value("mpris:length").toLongLong(), 8 * kSecond));
        const struct {
            const char* method;
            int row;
            const char* title;
        } steps[] = {
            {"Previous", 0, "first"},  // nothing before the first
            {"Next", 1, "second"},     {"Next", 2, "third"}, {"Next", 2, "third"},  // nothing after the last
            {"Previous", 1, "second"},
        };
        QStringList ids{applet_->trackId()};
        for (const auto& step : steps) {
            applet_->player(step.method);
            QTRY_COMPARE(c().selectedRow(), step.row);
            QTRY_COMPARE(title(), QString(step.title));
            ids << applet_->trackId();
            QCOMPARE(applet_->get("CanGoNext").toBool(), step.row < 2);
            QCOMPARE(applet_->get("CanGoPrevious").toBool(), step.row > 0);
        }
        // A new track id for each movie viewed, the second one's included; the same while it stays.
        QCOMPARE(ids[1], ids[0]);
        QCOMPARE(ids[4], ids[3]);
        QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), 4);
        QVERIFY(applet_->told("CanGoNext", false));
        QVERIFY(applet_->told("Metadata"));

        const QString notes = files_.filePath("notes.txt");
        test::spit(notes.toStdString(), "not a movie");
        // Not a file URL, no such file, and a file that is not a movie.
        for (const QString& uri : {QString("http://example.invalid/movie.mp4"),
                                   QUrl::fromLocalFile(files_.filePath("missing.mp4")).toString(),
                                   QUrl::fromLocalFile(notes).toString()}) {
            const QDBusMessage reply = applet_->player("OpenUri", {uri});
            QVERIFY2(reply.type() == QDBusMessage::ErrorMessage || uri.endsWith(".txt"), qPrintable(uri));
        }
        QCOMPARE(c().objects().size(), std::size_t(3));
        QCOMPARE(applet_->trackId(), ids.last());

        // Long enough to be still playing on a loaded machine when the status is asked.
        const QString extra = test::makeClip(files_.filePath("extra.mp4"), 8);
        applet_->player("OpenUri", {QUrl::fromLocalFile(extra).toString()});
        QTRY_COMPARE(c().objects().size(), std::size_t(4));
        QTRY_COMPARE(title(), QString("extra"));
        QTRY_COMPARE(applet_->status(), QString("Playing"));
    }

    void seekAndSetPositionMoveTheMovie() {
        add(clips_);
        view(1);
        // The movie under way first: a seek sent while the file still loads is not kept by mpv.
        QTRY_VERIFY(applet_->position() > 0);
        // Asked again until it holds: on a loaded machine a pause can meet a movie still starting.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                if (applet_->status() == "Playing") applet_->player("Pause");
                return applet_->status() == "Paused";
            }(),
            15000);
        c().moveTo(1.0);
        // Settled: the player has done seeking and reports the same place twice running.
        qint64 last = -1;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const qint64 now = applet_->position();
                const bool settled = now == last && near(now, kSecond);
                last = now;
                return settled;
            }(),
            15000);
        applet_->seeks.clear();

        applet_->player("Seek", {qlonglong(2 * kSecond)});
        QTRY_VERIFY(near(applet_->position(), 3 * kSecond));
        QTRY_COMPARE(applet_->seeks.size(), 1);
        QVERIFY(near(applet_->seeks.last(), 3 * kSecond));

        const QString track = applet_->trackId();
        const struct {
            const char* what;
            QString track;
            qlonglong position;
            qint64 expected;
        } requests[] = {
            {"to a time", track, 5 * kSecond, 5 * kSecond},
            {"stale track", "/org/reelplayer/Reel/track/999", 1 * kSecond, 5 * kSecond},
            {"past the end", track, kHuge, 5 * kSecond},
        };
        for (const auto& r : requests) {
            applet_->player("SetPosition", {QVariant::fromValue(QDBusObjectPath(r.track)), r.position});
            // A round trip after it, so an ignored request has been dealt with.
            applet_->get("CanSeek");
            QTRY_VERIFY2(near(applet_->position(), r.expected), r.what);
        }
        // An offset that would underflow stops at the start.
        applet_->player("Seek", {std::numeric_limits<qlonglong>::min()});
        QTRY_VERIFY(near(applet_->position(), 0));
        QCOMPARE(applet_->status(), QString("Paused"));

        // Past the end acts as the end of the movie: the next one is viewed; after the last, none.
        applet_->player("Seek", {qlonglong(3600) * kSecond});
        QTRY_COMPARE(title(), QString("third"));
        QTRY_COMPARE(applet_->status(), QString("Playing"));
        applet_->player("Seek", {kHuge});
        QTRY_COMPARE_WITH_TIMEOUT(applet_->status(), QString("Stopped"), 15000);
        QCOMPARE(c().selectedRow(), 2);
    }
};

QTEST_MAIN(MediaControlsTest)
#include "test_media_controls.moc"
