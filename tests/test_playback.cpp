// Real playback through libmpv, with no sound, and no picture unless the test looks at it.

#include <QLabel>
#include <QScreen>
#include <QtTest>
#include <cstdio>

#include "app/playlist_intake.h"
#include "platform/mpv_movie_view.h"
#include "platform/mpv_names.h"
#include "platform/mpv_player.h"
#include "platform/window_levels.h"
#include "support/log_recorder.h"
#include "support/media.h"
#include "support/qt_support.h"
#include "transport/fade_window.h"

using namespace reel;

class PlaybackTest : public test::InterfaceTest {
    Q_OBJECT
public:
    PlaybackTest() { qputenv("REEL_MPV_OPTIONS", "vo=null,ao=null"); }

private:
    platform::MpvPlayer& player() { return static_cast<platform::MpvMovieView*>(c().view())->player(); }
    // What mpv itself says, rather than what was asked of it.
    QString property(const char* name) { return QString::fromStdString(player().propertyText(name)); }
    QString clip(const QString& name, double seconds, const QStringList& more = {}) {
        return test::makeClip(files_.filePath(name), seconds, more);
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
            for (int x = 0; x < shot.width(); x += 8, ++all) lit += qGray(shot.pixel(x, y)) > 40;
        return lit > all / 2;
    }

private slots:
    // A name that is not UTF-8 plays; the advance passes a broken file and a vanished one.
    void oddBrokenAndVanishedFilesDoNotStopThePlaylist() {
        const std::string odd = files_.path().toStdString() + "/odd\xff\nname.mp4";
        QVERIFY(::rename(clip("plain.mp4", 2).toUtf8().constData(), odd.c_str()) == 0);
        const auto removeOdd = qScopeGuard([&] { std::remove(odd.c_str()); });  // QTemporaryDir cannot
        // The index first, so the file still describes when its end is gone.
        const QString whole = clip("whole.mp4", 3, {"-movflags", "+faststart"});
        std::string bytes = test::slurp(whole.toStdString());
        bytes.resize(bytes.size() * 2 / 3);
        for (std::size_t i = 4000; i < bytes.size(); i += 997) bytes[i] = char(bytes[i] ^ 0x5a);
        const QString broken = files_.filePath("broken.mp4"), doomed = files_.filePath("doomed.mp4");
        test::spit(broken.toStdString(), bytes);
        QFile::copy(whole, doomed);

        c().addFiles({odd});
        add({broken, doomed, clip("after.mp4", 1)});
        QFile::remove(doomed);
        viewRow(1);
        post(FastCommand::Forward);  // the transport keeps working on what can be decoded
        post(FastCommand::Play);
        post(FastCommand::Previous);
        QCOMPARE(ui().cNameField->text(), QString("odd%1\nname").arg(QChar(QChar::ReplacementCharacter)));
        QTRY_VERIFY_WITH_TIMEOUT(player().position() > 0.5, 8000);
        // On from there by itself, past the broken file and the vanished one, to the end.
        QTRY_COMPARE_WITH_TIMEOUT(ui().cNameField->text(), QString("after"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!ui().viewerWindow->isVisible(), 8000);
    }

    // Muted at 3x both ways, normal on play; mpv cannot play AC-3 in a VOB backwards: it steps.
    void scansBothWaysAtThreeTimesAndComesBack() {
        add({clip("long.mp4", 30),
             make("long.vob", {"-f", "lavfi", "-i", "testsrc2=size=352x288:rate=25", "-f", "lavfi", "-i",
                               "sine", "-t", "30", "-c:v", "mpeg2video", "-c:a", "ac3", "-f", "vob"})});
        for (int row : {0, 1}) {
            viewRow(row);
            QTRY_VERIFY_WITH_TIMEOUT(player().position() > 0.2, 5000);
            player().seek(10);
            QTRY_VERIFY_WITH_TIMEOUT(qAbs(player().position() - 10) < 1, 5000);
            for (FastCommand scan : {FastCommand::Forward, FastCommand::Rewind}) {
                const double from = player().position(), by = scan == FastCommand::Forward ? 2 : -1.2;
                post(scan);
                QTRY_COMPARE(property(mpv::kSpeed).toDouble(), 3.0);
                QTRY_COMPARE(property(mpv::kMute), QString("yes"));
                QTRY_VERIFY2_WITH_TIMEOUT(
                    (player().position() - from) / by > 1,
                    qPrintable(QString("row %1 at %2").arg(row).arg(player().position())), 5000);
                post(FastCommand::Play);
                QTRY_COMPARE(property(mpv::kSpeed).toDouble(), 1.0);
                QTRY_COMPARE(property(mpv::kMute), QString("no"));
                QTRY_VERIFY(c().view()->isPlaying());
            }
        }
    }

    // Part-way, then the next movie from its start; mistyped options are logged, the rest still apply.
    void aMovieStartsWhereItIsAsked() {
        qputenv("REEL_MPV_OPTIONS", "novalue,no-such-option=1,=orphan, vo=null ,ao=null");
        const auto restore = qScopeGuard([] { qputenv("REEL_MPV_OPTIONS", "vo=null,ao=null"); });
        test::LogRecorder log;
        const QString movie = clip("resumed.mp4", 30);
        add({movie, movie});
        c().startNextViewOf(movie, 17.5);
        viewRow(0);
        for (const char* entry : {"novalue", "no-such-option=1", "=orphan"}) QCOMPARE(log.count(entry), 1);
        QCOMPARE(log.count("null"), 0);
        QVERIFY(!player().rendersVideo());
        QVERIFY(qAbs(player().position() - 17.5) < 0.01);  // before mpv has said anything
        QTRY_VERIFY_WITH_TIMEOUT(property(mpv::kTimePos).toDouble() > 17.5, 5000);
        QVERIFY(property(mpv::kTimePos).toDouble() < 25);
        viewRow(1);
        QTRY_VERIFY_WITH_TIMEOUT(player().position() > 0.2, 5000);
        QVERIFY(player().position() < 5);
    }

    // A change of level once made the window anew, and software OpenGL died under its picture.
    void levelsChangeInPlace() {
        QWidget window;
        QWidget* inside = new QWidget(&window);
        inside->winId();  // native, as the picture is
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const WId outer = window.winId(), inner = inside->winId();
        for (int level : {platform::kFullScreenLevel, -20, 0, platform::kFullScreenLevel + 1}) {
            platform::setWindowLevel(&window, level);
            QCOMPARE(window.winId(), outer);
            QCOMPARE(inside->winId(), inner);
            QCOMPARE(bool(window.windowHandle()->flags() & Qt::WindowStaysOnTopHint), level > 0);
            QCOMPARE(bool(window.windowFlags() & Qt::WindowStaysOnBottomHint), level < 0);
        }
    }

    // The picture plays (not just its first frame) through the next movie and full screen.
    void thePicturePlaysInTheViewerAndInFullScreen() {
        qputenv("REEL_MPV_OPTIONS", "ao=null");
        const auto restore = qScopeGuard([] { qputenv("REEL_MPV_OPTIONS", "vo=null,ao=null"); });
        const QString movie = make("picture.mp4", {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-t",
                                                   "20", "-c:v", "mpeg4", "-q:v", "5"});
        add({movie, movie});
        for (int step : {0, 1, 2, 3}) {  // the first movie, the second, in full screen, and back
            if (step < 2) viewRow(step);
            if (step >= 2) c().fullScreen();
            QCOMPARE(c().view()->widget()->window() == ui().viewerWindow, step != 2);
            const double from = player().position();
            QTRY_VERIFY_WITH_TIMEOUT(player().position() > from + 1.0, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(showsPicture(), 3000);
        }
    }
};

QTEST_MAIN(PlaybackTest)
#include "test_playback.moc"
