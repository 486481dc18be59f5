// The viewer, the transport and the end-of-movie advance, with movie views
// that play nothing: the test moves their clocks and ends their movies.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "app/playlist_table.h"
#include "fake_movie_view.h"
#include "platform/log.h"
#include "platform/notification_center.h"
#include "platform/preferences.h"
#include "transport/fade_window.h"
#include "ui/full_screen_window.h"
#include "ui/image_button.h"

using namespace reel;

namespace {

QString media(const QString& name) { return qEnvironmentVariable("REEL_TEST_MEDIA") + "/" + name; }

void postFast(const char* word) {
    platform::NotificationCenter::defaultCenter().postNotificationName(platform::kFastNotification, word);
}

}  // namespace

class TransportTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    QTemporaryDir files_;
    std::unique_ptr<Interface> ui_;
    std::vector<fake::MovieView*> views_;  // every view made, newest last

    AppController& c() { return ui_->controller(); }
    fake::MovieView& view() { return *views_.back(); }

    QString copy(const QString& name, const QString& from) {
        const QString path = files_.filePath(name);
        if (!QFile::exists(path)) QFile::copy(from, path);
        return path;
    }

    // A tiny movie of the given length, made now.
    QString movieLasting(const QString& name, double seconds) {
        const QString path = files_.filePath(name);
        if (QFile::exists(path)) return path;
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg",
                     {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                      "color=size=16x16:rate=5", "-t", QString::number(seconds), "-c:v", "mpeg4", path});
        ffmpeg.waitForFinished(60000);
        return path;
    }

    void add(const QStringList& paths) {
        c().openPanelDidEnd(paths, 1);
        c().intake().finish();
    }

    void viewRow(int row) {
        c().selectRow(row);
        c().readSettings();
        c().viewItem();
    }

    // The movie shown plays to its end, as the player would tell it, from another thread.
    void endMovie(fake::MovieView& shown) {
        std::thread([clock = shown.clock] { clock->setAtStop(true); }).join();
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        platform::setLogEnabled(false);
    }
    void init() {
        views_.clear();
        ui_ = std::make_unique<Interface>([this] {
            auto made = std::make_unique<fake::MovieView>();
            views_.push_back(made.get());
            return made;
        });
    }
    void cleanup() {
        ui_.reset();
        QFile::remove(config_.filePath("reel/reel.ini"));
    }

    void viewingFillsTheWindowsAndArmsTheEnd() {
        add({copy("clip.mov", media("mjpeg_ima4_2997.mov"))});
        AppController::setFloatValue(c().volumeSlider, 0.4f);
        viewRow(0);
        QCOMPARE(int(views_.size()), 1);
        QCOMPARE(c().viewerWindow->windowTitle(), QString("clip.mov"));
        QCOMPARE(c().cNameField->text(), QString("clip"));
        QCOMPARE(c().cTimeField->text(), QString("0:00:02"));
        QCOMPARE(c().cLength(), QString("0:00:02"));
        QVERIFY(view().playing);
        QVERIFY(c().buttonState());
        QVERIFY(!view().editable);
        QVERIFY(!view().controllerShown);
        QCOMPARE(view().volume, 0.4f);
        QCOMPARE(c().viewerWindow->contentView(), views_.back());
        QCOMPARE(c().viewerWindow->size(), QSize(320, 240));
        QCOMPARE(c().viewerWindow->aspectRatio(), QSizeF(320, 240));
        QVERIFY(c().viewerWindow->isVisible());
        QVERIFY(c().cWindow->isVisible());
        QVERIFY(c().currentCallBack());
        // The volume set is stored, off the main thread.
        QTRY_COMPARE(platform::persistentDomainForName(platform::kPreferenceDomain)
                         .value_or(QVariantMap())
                         .value("VolumeLevel")
                         .toFloat(),
                     0.4f);
    }

    void endsAdvanceUntilTheLastEntry() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi")),
             copy("c.mov", media("mjpeg_ima4_2997.mov"))});
        viewRow(0);
        for (int expected = 1; expected <= 2; ++expected) {
            endMovie(view());
            QTRY_COMPARE(c().selectedRow(), expected);
            QCOMPARE(int(views_.size()), expected + 1);
            QCOMPARE(c().cNameField->text(), QString("abc").mid(expected, 1));
            QVERIFY(c().viewerWindow->isVisible());
        }
        endMovie(view());
        QTRY_VERIFY(!c().viewerWindow->isVisible());
        QTest::qWait(50);
        QCOMPARE(c().selectedRow(), 2);
        QCOMPARE(int(views_.size()), 3);
    }

    void theEndFollowsTheSelectionNotTheMovie() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi")),
             copy("c.mov", media("mjpeg_ima4_2997.mov"))});
        viewRow(0);
        c().selectRow(1);  // the user picks another row while the first plays
        endMovie(view());
        QTRY_COMPARE(int(views_.size()), 2);
        QCOMPARE(c().selectedRow(), 2);

        c().tableView->clearSelection();  // no row: the first follows
        endMovie(view());
        QTRY_COMPARE(int(views_.size()), 3);
        QCOMPARE(c().selectedRow(), 0);

        // Everything removed while playing: the viewer closes and nothing plays.
        while (!c().objects().empty()) {
            c().selectRow(0);
            c().removeItem();
        }
        endMovie(view());
        QTRY_VERIFY(!c().viewerWindow->isVisible());
        QCOMPARE(int(views_.size()), 3);
    }

    void aReplacedMovieNeverAdvances() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi")),
             copy("c.mov", media("mjpeg_ima4_2997.mov"))});
        viewRow(0);
        const std::shared_ptr<fake::Clock> firstClock = view().clock;
        postFast("next");
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(int(views_.size()), 2);
        // The first movie's end comes after all: its callback was disarmed with it.
        std::thread([firstClock] { firstClock->setAtStop(true); }).join();
        QTest::qWait(100);
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(int(views_.size()), 2);
        // The movie shown now still moves the playlist on at its end.
        endMovie(view());
        QTRY_COMPARE(c().selectedRow(), 2);
    }

    void scanningAndPlayingWords() {
        postFast("forward");  // nothing to act on yet
        postFast("play");
        add({copy("a.mp4", media("mpeg4_mp3.mp4"))});
        viewRow(0);
        postFast("forward");
        QVERIFY(view().muted);
        QCOMPARE(view().rate(), 3.0f);
        postFast("play");
        QVERIFY(!view().muted);
        QCOMPARE(view().rate(), 1.0f);
        postFast("rewind");
        QVERIFY(view().muted);
        QCOMPARE(view().rate(), -3.0f);
        postFast("play");
        QCOMPARE(view().rate(), 1.0f);
        view().muted = true;  // play at rate 1 changes nothing, not even the sound
        postFast("play");
        QVERIFY(view().muted);
        postFast("sideways");
        QCOMPARE(view().rate(), 1.0f);
        QCOMPARE(int(views_.size()), 1);
    }

    void nextAndPreviousStopAtTheEnds() {
        postFast("next");  // empty playlist
        QCOMPARE(int(views_.size()), 0);
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi"))});
        postFast("previous");  // nothing selected
        QCOMPARE(int(views_.size()), 0);
        postFast("next");  // nothing selected: the first entry
        QCOMPARE(c().selectedRow(), 0);
        QCOMPARE(int(views_.size()), 1);
        postFast("previous");
        QCOMPARE(c().selectedRow(), 0);
        QCOMPARE(int(views_.size()), 1);
        postFast("next");
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(c().cNameField->text(), QString("b"));
        postFast("next");
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(int(views_.size()), 2);
        QVERIFY(c().viewerWindow->isVisible());
        postFast("previous");
        QCOMPARE(c().selectedRow(), 0);
        QCOMPARE(int(views_.size()), 3);
    }

    void positionReadOutAndSeeking() {
        add({movieLasting("ninety.mp4", 5400), movieLasting("minute.mp4", 61),
             movieLasting("blink.mp4", 0.6)});
        viewRow(0);
        QCOMPARE(c().cLength(), QString("1:30:00"));
        view().clock->seconds = 83;
        c().checkTime();
        QCOMPARE(c().cTimeField->text(), QString("0:01:23/1:30:00"));
        QVERIFY(qAbs(AppController::floatValue(c().timeSlider) - 83.0f / 5400.0f) < 1e-4f);
        QCOMPARE(c().mainButton->image().cacheKey(), reel::pause.cacheKey());

        // Paused: the read-out and the slider stay where they were.
        c().mainButtonClicked(c().mainButton);
        QVERIFY(!view().playing);
        view().clock->seconds = 600;
        c().checkTime();
        QCOMPARE(c().cTimeField->text(), QString("0:01:23/1:30:00"));
        QCOMPARE(c().mainButton->image().cacheKey(), reel::play.cacheKey());
        QVERIFY(!c().buttonState());

        viewRow(1);
        AppController::setFloatValue(c().timeSlider, 0.5f);  // the user drags to the middle
        QCOMPARE(view().clock->seconds, 30.0);
        QCOMPARE(c().cTimeField->text(), QString("0:00:30/0:01:01"));

        // No length: the slider stays at the start.
        viewRow(2);
        QCOMPARE(c().cLength(), QString("0:00:00"));
        view().clock->seconds = 0.4;
        c().checkTime();
        QCOMPARE(AppController::floatValue(c().timeSlider), 0.0f);
        AppController::setFloatValue(c().timeSlider, 0.7f);
        QCOMPARE(view().clock->seconds, 0.0);

        // With no row selected the length is empty: seeking goes to the start, and nothing fails.
        c().tableView->clearSelection();
        c().readSettings();
        AppController::setFloatValue(c().timeSlider, 0.3f);
        QCOMPARE(view().clock->seconds, 0.0);
    }

    void playPauseButton() {
        ImageButton* button = c().mainButton;
        c().mainButtonClicked(button);  // empty playlist: nothing opens, the button still says pause
        QCOMPARE(int(views_.size()), 0);
        QVERIFY(c().buttonState());
        QCOMPARE(button->image().cacheKey(), reel::pause.cacheKey());
        QCOMPARE(button->alternateImage().cacheKey(), reel::bPause.cacheKey());
        c().checkTime();  // nothing plays: the next tick puts it right
        QVERIFY(!c().buttonState());
        QCOMPARE(button->image().cacheKey(), reel::play.cacheKey());

        add({copy("a.mp4", media("mpeg4_mp3.mp4"))});
        c().selectRow(0);
        c().readSettings();
        c().mainButtonClicked(button);  // play with the viewer closed opens the selected entry
        QCOMPARE(int(views_.size()), 1);
        QVERIFY(view().playing);
        c().mainButtonClicked(button);
        QVERIFY(!view().playing);
        QCOMPARE(button->image().cacheKey(), reel::play.cacheKey());
        c().mainButtonClicked(button);
        QVERIFY(view().playing);
        QCOMPARE(int(views_.size()), 1);
    }

    void volumeIsKeptAcrossLaunches() {
        platform::setPersistentDomain({{"Other", "kept"}}, platform::kPreferenceDomain);
        AppController::setFloatValue(c().volumeSlider, 0.25f);  // the user moves the slider
        const auto stored = [] {
            return platform::persistentDomainForName(platform::kPreferenceDomain).value_or(QVariantMap());
        };
        QTRY_COMPARE(stored().value("VolumeLevel").toFloat(), 0.25f);
        QCOMPARE(stored().value("Other").toString(), QString("kept"));

        add({copy("a.mp4", media("mpeg4_mp3.mp4"))});
        viewRow(0);
        QCOMPARE(view().volume, 0.25f);  // the first movie starts at that volume

        ui_ = std::make_unique<Interface>([this] {
            auto made = std::make_unique<fake::MovieView>();
            views_.push_back(made.get());
            return made;
        });
        QCOMPARE(AppController::floatValue(c().volumeSlider), 0.75f);
        c().applicationDidFinishLaunching();
        QTRY_COMPARE(AppController::floatValue(c().volumeSlider), 0.25f);
    }

    void whatCannotBeViewedIsLeftAlone() {
        c().viewItem();  // nothing selected
        QCOMPARE(int(views_.size()), 0);

        const QString doomed = copy("doomed.mp4", media("mpeg4_mp3.mp4"));
        add({doomed, copy("b.avi", media("dx50_mp3.avi"))});
        QFile::remove(doomed);
        viewRow(0);
        QVERIFY(!c().viewerWindow->isVisible());
        QCOMPARE(c().objects().size(), 2u);
        postFast("next");  // the rest of the playlist still plays
        QCOMPARE(c().selectedRow(), 1);
        QVERIFY(c().viewerWindow->isVisible());
    }

    void fullScreenAcrossAnAdvance() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi"))});
        c().fullScreen();  // no picture yet: nothing happens
        QVERIFY(!c().inFullscreen());
        viewRow(0);
        c().fullScreen();
        QVERIFY(c().inFullscreen());
        QCOMPARE(views_.back()->widget()->parentWidget(), static_cast<QWidget*>(c().fullscreenWindow()));
        endMovie(view());
        QTRY_COMPARE(int(views_.size()), 2);
        QVERIFY(c().inFullscreen());
        QCOMPARE(views_.back()->widget()->parentWidget(), static_cast<QWidget*>(c().fullscreenWindow()));
        QVERIFY(view().playing);
        // The last movie ends out of full screen, with the viewer closed.
        endMovie(view());
        QTRY_VERIFY(!c().inFullscreen());
        QVERIFY(!c().viewerWindow->isVisible());
        QVERIFY(!c().fullscreenWindow()->isVisible());
    }

    // F goes in and out of full screen as often as it is pressed, though the
    // playlist window, whose menus hold the keys, is not on screen here.
    void theFullScreenKeyWorksBothWaysRepeatedly() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4"))});
        viewRow(0);
        QVERIFY(c().viewerWindow->isVisible());
        c().viewerWindow->activateWindow();
        QTRY_VERIFY(c().viewerWindow->isActiveWindow());
        for (bool full : {true, false, true, false}) {
            QTRY_VERIFY(QGuiApplication::focusWindow());
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_F);
            QCOMPARE(c().inFullscreen(), full);
        }
    }
};

QTEST_MAIN(TransportTest)
#include "test_transport.moc"
