// Real playback through libmpv, with no picture and no sound (vo=null, ao=null).

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "platform/log.h"
#include "platform/mpv_movie_view.h"
#include "platform/mpv_player.h"
#include "platform/notification_center.h"
#include "transport/fade_window.h"

using namespace reel;

class PlaybackTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    QTemporaryDir files_;
    std::unique_ptr<Interface> ui_;

    AppController& c() { return ui_->controller(); }
    platform::MpvPlayer& player() { return static_cast<platform::MpvMovieView*>(c().view())->player(); }

    QString make(const QString& name, const QStringList& encode) {
        const QString path = files_.filePath(name);
        if (QFile::exists(path)) return path;
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + encode +
                                   QStringList{path});
        ffmpeg.waitForFinished(120000);
        return path;
    }
    QString clip(const QString& name, double seconds) {
        return make(name, {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-f", "lavfi", "-i", "sine",
                           "-t", QString::number(seconds), "-c:v", "mpeg4", "-c:a", "aac"});
    }

    void view(int row) {
        c().selectRow(row);
        c().readSettings();
        c().viewItem();
        QVERIFY(c().view());
    }

    void post(const char* word) {
        platform::NotificationCenter::defaultCenter().postNotificationName(platform::kFastNotification, word);
    }

    // Scans for about a second and says how far the position moved.
    double scanned(const char* word) {
        post(word);
        const double from = player().position();
        QTest::qWait(1000);
        const double moved = player().position() - from;
        post("play");
        return moved;
    }

    // Most of the view's area on screen is not black: the test pattern is there.
    bool showsPicture() {
        QWidget* view = c().view()->widget();
        const QPoint at = view->mapToGlobal(QPoint(0, 0));
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, at.x(), at.y(), view->width(), view->height())
                                .toImage();
        if (shot.isNull() || shot.width() < 16 || shot.height() < 16) return false;
        int lit = 0, all = 0;
        for (int y = 0; y < shot.height(); y += 8)
            for (int x = 0; x < shot.width(); x += 8, ++all)
                if (qGray(shot.pixel(x, y)) > 40) ++lit;
        return lit > all / 2;
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        qputenv("REEL_MPV_OPTIONS", "vo=null,ao=null");
        platform::setLogEnabled(false);
    }
    void init() { ui_ = std::make_unique<Interface>(); }
    void cleanup() { ui_.reset(); }

    void playsThroughThePlaylistByItself() {
        c().openPanelDidEnd({clip("one.mp4", 1), clip("two.mp4", 1), clip("three.mp4", 1)}, 1);
        c().intake().finish();
        view(0);
        QTRY_COMPARE_WITH_TIMEOUT(c().cNameField->text(), QString("two"), 8000);
        QTRY_COMPARE_WITH_TIMEOUT(c().cNameField->text(), QString("three"), 8000);
        QTRY_VERIFY_WITH_TIMEOUT(!c().viewerWindow->isVisible(), 8000);
        QCOMPARE(c().selectedRow(), 2);
    }

    void playsAFileWhoseNameIsNotUtf8() {
        const std::string odd = files_.path().toStdString() + "/odd\xff\nname.mp4";
        QVERIFY(QFile::copy(clip("plain.mp4", 2), files_.filePath("plain-copy.mp4")));
        QVERIFY(::rename(files_.filePath("plain-copy.mp4").toUtf8().constData(), odd.c_str()) == 0);
        const auto removeOdd = qScopeGuard([&] { std::remove(odd.c_str()); });  // QTemporaryDir cannot
        c().addFiles({odd});
        c().intake().finish();
        QCOMPARE(c().objects().size(), 1u);
        view(0);
        QTRY_VERIFY_WITH_TIMEOUT(player().position() > 0.5, 8000);
        QCOMPARE(c().cNameField->text(), QString("odd%1\nname").arg(QChar(QChar::ReplacementCharacter)));
    }

    void brokenAndVanishedFilesDoNotStopThePlaylist() {
        // The index first, so the file still describes when its end is gone.
        const QString whole =
            make("whole.mp4", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-f", "lavfi", "-i",
                               "sine", "-t", "3", "-c:v", "mpeg4", "-c:a", "aac", "-movflags", "+faststart"});
        QFile in(whole);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray bytes = in.readAll();
        bytes.truncate(bytes.size() * 2 / 3);
        for (int i = 4000; i < bytes.size(); i += 997) bytes[i] = char(bytes[i] ^ 0x5a);
        const QString broken = files_.filePath("broken.mp4");
        QFile out(broken);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        const QString doomed = files_.filePath("doomed.mp4");
        QFile::copy(whole, doomed);

        c().openPanelDidEnd({clip("before.mp4", 1), broken, doomed, clip("after.mp4", 1)}, 1);
        c().intake().finish();
        QCOMPARE(c().objects().size(), 4u);
        QFile::remove(doomed);
        view(1);
        post("forward");  // the transport keeps working on what can be decoded
        post("play");
        post("previous");
        QCOMPARE(c().cNameField->text(), QString("before"));
        // On from there by itself: past the broken file and the vanished one, to the end.
        QTRY_COMPARE_WITH_TIMEOUT(c().cNameField->text(), QString("after"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!c().viewerWindow->isVisible(), 8000);
        QCOMPARE(c().selectedRow(), 3);
    }

    void scansBothWaysAtThreeTimesAndComesBack() {
        const QString mp4 = clip("long.mp4", 30);
        // AC-3 in a VOB is one mpv cannot play backwards: rewinding steps back instead.
        const QString vob =
            make("long.vob", {"-f", "lavfi", "-i", "testsrc2=size=352x288:rate=25", "-f", "lavfi", "-i",
                              "sine", "-t", "30", "-c:v", "mpeg2video", "-c:a", "ac3", "-f", "vob"});
        c().openPanelDidEnd({mp4, vob}, 1);
        c().intake().finish();
        for (int row : {0, 1}) {
            view(row);
            QTRY_VERIFY_WITH_TIMEOUT(player().position() > 0.2, 5000);
            player().seek(10);
            QTest::qWait(300);
            const double forward = scanned("forward");
            QVERIFY2(forward > 1.8 && forward < 4.5, qPrintable(QString("forward moved %1 s").arg(forward)));
            QCOMPARE(player().rate(), 1.0);
            QVERIFY(!player().muted());
            QTest::qWait(200);
            const double backward = scanned("rewind");
            QVERIFY2(backward < -1.2,
                     qPrintable(QString("rewind moved %1 s in row %2").arg(backward).arg(row)));
            QCOMPARE(player().rate(), 1.0);
            QVERIFY(!player().muted());
            QTRY_VERIFY(c().view()->isPlaying());
        }
    }

    void scanningMutesUntilPlay() {
        c().openPanelDidEnd({clip("long.mp4", 30)}, 1);
        c().intake().finish();
        view(0);
        post("forward");
        QVERIFY(player().muted());
        QCOMPARE(c().view()->rate(), 3.0f);
        post("rewind");
        QVERIFY(player().muted());
        QCOMPARE(c().view()->rate(), -3.0f);
        post("play");
        QVERIFY(!player().muted());
        QCOMPARE(c().view()->rate(), 1.0f);
    }

    // With a real picture: the movie plays (not just its first frame), and the
    // picture stays through full screen and back and through the next movie.
    void thePicturePlaysInTheViewerAndInFullScreen() {
        qputenv("REEL_MPV_OPTIONS", "ao=null");
        const auto restore = qScopeGuard([] { qputenv("REEL_MPV_OPTIONS", "vo=null,ao=null"); });
        const QString movie = make("picture.mp4", {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-t",
                                                   "20", "-c:v", "mpeg4", "-q:v", "5"});
        c().openPanelDidEnd({movie, movie}, 1);
        c().intake().finish();
        for (int row : {0, 1}) {
            view(row);
            QVERIFY(player().rendersVideo());
            const double from = player().position();
            QTRY_VERIFY_WITH_TIMEOUT(player().position() > from + 1.0, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(showsPicture(), 3000);
        }
        for (bool full : {true, false}) {
            c().fullScreen();
            QCOMPARE(c().view()->widget()->window() == c().viewerWindow, !full);
            const double at = player().position();
            QTRY_VERIFY_WITH_TIMEOUT(player().position() > at + 1.0, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(showsPicture(), 3000);
        }
    }
};

QTEST_MAIN(PlaybackTest)
#include "test_playback.moc"
