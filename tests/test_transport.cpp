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
#include "platform/preferences.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "ui/full_screen_window.h"
#include "ui/image_button.h"

using namespace reel;

namespace {

QString media(const QString& name) { return qEnvironmentVariable("REEL_TEST_MEDIA") + "/" + name; }

}  // namespace

class TransportTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    QTemporaryDir files_;
    std::unique_ptr<Interface> ui_;
    fake::MovieView* view_ = nullptr;  // the session's, once made
    int viewsMade_ = 0;

    AppController& c() { return ui_->controller(); }
    const Outlets& ui() { return c().outlets(); }
    fake::MovieView& view() { return *view_; }
    // How many movies the view was given: each viewing gives it one.
    int loads() const { return view_ ? int(view_->loaded.size()) : 0; }
    void postFast(FastCommand command) { emit ui_->messages().fast(command); }

    void makeInterface() {
        view_ = nullptr;
        ui_ = std::make_unique<Interface>([this] {
            auto made = std::make_unique<fake::MovieView>();
            view_ = made.get();
            ++viewsMade_;
            return made;
        });
    }

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
        c().openPanelDidEnd(paths, true);
        c().intake().finish();
    }

    void viewRow(int row) {
        c().selectRow(row);
        c().showSelectedEntryInfo();
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
        viewsMade_ = 0;
        makeInterface();
    }
    void cleanup() {
        ui_.reset();
        QFile::remove(config_.filePath("reel/reel.ini"));
    }

    void viewingFillsTheWindowsAndArmsTheEnd() {
        add({copy("clip.mov", media("mjpeg_ima4_2997.mov"))});
        AppController::setFloatValue(ui().volumeSlider, 0.4f);
        viewRow(0);
        QCOMPARE(loads(), 1);
        QCOMPARE(ui().viewerWindow->windowTitle(), QString("clip.mov"));
        QCOMPARE(ui().cNameField->text(), QString("clip"));
        QCOMPARE(ui().cTimeField->text(), QString("0:00:02"));
        QCOMPARE(c().cLength(), QString("0:00:02"));
        QVERIFY(view().playing);
        QVERIFY(c().buttonState());
        QCOMPARE(view().volume, 0.4f);
        QCOMPARE(ui().viewerWindow->contentView(), view_);
        QCOMPARE(ui().viewerWindow->size(), QSize(320, 240));
        QCOMPARE(ui().viewerWindow->aspectRatio(), QSizeF(320, 240));
        QVERIFY(ui().viewerWindow->isVisible());
        QVERIFY(ui().cWindow->isVisible());
        // Each viewing stores the volume.
        const auto stored = platform::persistentDomainForName(platform::kPreferenceDomain);
        QVERIFY(stored);
        QCOMPARE(stored->value("VolumeLevel").toFloat(), 0.4f);
    }

    void endsAdvanceUntilTheLastEntry() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi")),
             copy("c.mov", media("mjpeg_ima4_2997.mov"))});
        viewRow(0);
        for (int expected = 1; expected <= 2; ++expected) {
            endMovie(view());
            QTRY_COMPARE(c().selectedRow(), expected);
            QCOMPARE(loads(), expected + 1);
            QCOMPARE(ui().cNameField->text(), QString("abc").mid(expected, 1));
            QVERIFY(ui().viewerWindow->isVisible());
        }
        endMovie(view());
        QTRY_VERIFY(!ui().viewerWindow->isVisible());
        QCOMPARE(viewsMade_, 1);  // one view for the whole session
        QTest::qWait(50);
        QCOMPARE(c().selectedRow(), 2);
        QCOMPARE(loads(), 3);
    }

    void theEndFollowsTheSelectionNotTheMovie() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi")),
             copy("c.mov", media("mjpeg_ima4_2997.mov"))});
        viewRow(0);
        c().selectRow(1);  // the user picks another row while the first plays
        endMovie(view());
        QTRY_COMPARE(loads(), 2);
        QCOMPARE(c().selectedRow(), 2);

        ui().tableView->clearSelection();  // no row: the first follows
        endMovie(view());
        QTRY_COMPARE(loads(), 3);
        QCOMPARE(c().selectedRow(), 0);

        // Everything removed while playing: the viewer closes and nothing plays.
        while (!c().objects().empty()) {
            c().selectRow(0);
            c().removeItem();
        }
        endMovie(view());
        QTRY_VERIFY(!ui().viewerWindow->isVisible());
        QCOMPARE(loads(), 3);
    }

    void aReplacedMovieNeverAdvances() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi")),
             copy("c.mov", media("mjpeg_ima4_2997.mov"))});
        viewRow(0);
        const std::shared_ptr<fake::Clock> firstClock = view().clock;
        postFast(FastCommand::Next);
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(loads(), 2);
        // The first movie's end comes after all: its callback was disarmed with it.
        std::thread([firstClock] { firstClock->setAtStop(true); }).join();
        QTest::qWait(100);
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(loads(), 2);
        // The movie shown now still moves the playlist on at its end.
        endMovie(view());
        QTRY_COMPARE(c().selectedRow(), 2);
    }

    void scanningAndPlayingWords() {
        postFast(FastCommand::Forward);  // nothing to act on yet
        postFast(FastCommand::Play);
        add({copy("a.mp4", media("mpeg4_mp3.mp4"))});
        viewRow(0);
        postFast(FastCommand::Forward);
        QVERIFY(view().muted);
        QCOMPARE(view().rate(), 3.0f);
        postFast(FastCommand::Play);
        QVERIFY(!view().muted);
        QCOMPARE(view().rate(), 1.0f);
        postFast(FastCommand::Rewind);
        QVERIFY(view().muted);
        QCOMPARE(view().rate(), -3.0f);
        postFast(FastCommand::Play);
        QCOMPARE(view().rate(), 1.0f);
        view().muted = true;  // play at rate 1 changes nothing, not even the sound
        postFast(FastCommand::Play);
        QVERIFY(view().muted);
        QCOMPARE(loads(), 1);
    }

    void nextAndPreviousStopAtTheEnds() {
        postFast(FastCommand::Next);  // empty playlist
        QCOMPARE(loads(), 0);
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi"))});
        postFast(FastCommand::Previous);  // nothing selected
        QCOMPARE(loads(), 0);
        postFast(FastCommand::Next);  // nothing selected: the first entry
        QCOMPARE(c().selectedRow(), 0);
        QCOMPARE(loads(), 1);
        postFast(FastCommand::Previous);
        QCOMPARE(c().selectedRow(), 0);
        QCOMPARE(loads(), 1);
        postFast(FastCommand::Next);
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(ui().cNameField->text(), QString("b"));
        postFast(FastCommand::Next);
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(loads(), 2);
        QVERIFY(ui().viewerWindow->isVisible());
        postFast(FastCommand::Previous);
        QCOMPARE(c().selectedRow(), 0);
        QCOMPARE(loads(), 3);
    }

    void positionReadOutAndSeeking() {
        add({movieLasting("ninety.mp4", 5400), movieLasting("minute.mp4", 61),
             movieLasting("blink.mp4", 0.6)});
        viewRow(0);
        QCOMPARE(c().cLength(), QString("1:30:00"));
        view().clock->seconds = 83;
        c().checkTime();
        QCOMPARE(ui().cTimeField->text(), QString("0:01:23/1:30:00"));
        QVERIFY(qAbs(AppController::floatValue(ui().timeSlider) - 83.0f / 5400.0f) < 1e-4f);
        QCOMPARE(ui().mainButton->image().cacheKey(), c().icons().pause.cacheKey());

        // Paused: the read-out and the slider stay where they were.
        c().mainButtonClicked();
        QVERIFY(!view().playing);
        view().clock->seconds = 600;
        c().checkTime();
        QCOMPARE(ui().cTimeField->text(), QString("0:01:23/1:30:00"));
        QCOMPARE(ui().mainButton->image().cacheKey(), c().icons().play.cacheKey());
        QVERIFY(!c().buttonState());

        viewRow(1);
        AppController::setFloatValue(ui().timeSlider, 0.5f);  // the user drags to the middle
        QCOMPARE(view().clock->seconds, 30.0);
        QCOMPARE(ui().cTimeField->text(), QString("0:00:30/0:01:01"));

        // No length: the slider stays at the start.
        viewRow(2);
        QCOMPARE(c().cLength(), QString("0:00:00"));
        view().clock->seconds = 0.4;
        c().checkTime();
        QCOMPARE(AppController::floatValue(ui().timeSlider), 0.0f);
        AppController::setFloatValue(ui().timeSlider, 0.7f);
        QCOMPARE(view().clock->seconds, 0.0);

        // With no row selected the length is empty: seeking goes to the start, and nothing fails.
        ui().tableView->clearSelection();
        c().showSelectedEntryInfo();
        AppController::setFloatValue(ui().timeSlider, 0.3f);
        QCOMPARE(view().clock->seconds, 0.0);
    }

    void playPauseButton() {
        ImageButton* button = ui().mainButton;
        c().mainButtonClicked();  // empty playlist: nothing opens, the button still says pause
        QCOMPARE(loads(), 0);
        QVERIFY(c().buttonState());
        QCOMPARE(button->image().cacheKey(), c().icons().pause.cacheKey());
        QCOMPARE(button->alternateImage().cacheKey(), c().icons().pausePressed.cacheKey());
        c().checkTime();  // nothing plays: the next tick puts it right
        QVERIFY(!c().buttonState());
        QCOMPARE(button->image().cacheKey(), c().icons().play.cacheKey());

        add({copy("a.mp4", media("mpeg4_mp3.mp4"))});
        c().selectRow(0);
        c().showSelectedEntryInfo();
        c().mainButtonClicked();  // play with the viewer closed opens the selected entry
        QCOMPARE(loads(), 1);
        QVERIFY(view().playing);
        c().mainButtonClicked();
        QVERIFY(!view().playing);
        QCOMPARE(button->image().cacheKey(), c().icons().play.cacheKey());
        c().mainButtonClicked();
        QVERIFY(view().playing);
        QCOMPARE(loads(), 1);
    }

    void volumeIsKeptAcrossLaunches() {
        platform::setPersistentDomain({{"Other", "kept"}}, platform::kPreferenceDomain);
        AppController::setFloatValue(ui().volumeSlider, 0.25f);  // the user moves the slider
        const auto stored = platform::persistentDomainForName(platform::kPreferenceDomain);
        QCOMPARE(stored->value("VolumeLevel").toFloat(), 0.25f);
        QCOMPARE(stored->value("Other").toString(), QString("kept"));

        add({copy("a.mp4", media("mpeg4_mp3.mp4"))});
        viewRow(0);
        QCOMPARE(view().volume, 0.25f);  // the first movie starts at that volume

        makeInterface();
        QCOMPARE(AppController::floatValue(ui().volumeSlider), 0.75f);
        c().applicationDidFinishLaunching();
        QCOMPARE(AppController::floatValue(ui().volumeSlider), 0.25f);
    }

    void whatCannotBeViewedIsLeftAlone() {
        c().viewItem();  // nothing selected
        QCOMPARE(loads(), 0);

        const QString doomed = copy("doomed.mp4", media("mpeg4_mp3.mp4"));
        add({doomed, copy("b.avi", media("dx50_mp3.avi"))});
        QFile::remove(doomed);
        viewRow(0);
        QVERIFY(!ui().viewerWindow->isVisible());
        QCOMPARE(c().objects().size(), 2u);
        postFast(FastCommand::Next);  // the rest of the playlist still plays
        QCOMPARE(c().selectedRow(), 1);
        QVERIFY(ui().viewerWindow->isVisible());
    }

    void fullScreenAcrossAnAdvance() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4")), copy("b.avi", media("dx50_mp3.avi"))});
        c().fullScreen();  // no picture yet: nothing happens
        QVERIFY(!c().inFullscreen());
        viewRow(0);
        c().fullScreen();
        QVERIFY(c().inFullscreen());
        QCOMPARE(view_->widget()->parentWidget(), static_cast<QWidget*>(c().fullscreenWindow()));
        endMovie(view());
        QTRY_COMPARE(loads(), 2);
        QVERIFY(c().inFullscreen());
        QCOMPARE(view_->widget()->parentWidget(), static_cast<QWidget*>(c().fullscreenWindow()));
        QVERIFY(view().playing);
        // The last movie ends out of full screen, with the viewer closed.
        endMovie(view());
        QTRY_VERIFY(!c().inFullscreen());
        QVERIFY(!ui().viewerWindow->isVisible());
        QVERIFY(!c().fullscreenWindow()->isVisible());
    }

    // F goes in and out of full screen as often as it is pressed, though the
    // playlist window, whose menus hold the keys, is not on screen here.
    void theFullScreenKeyWorksBothWaysRepeatedly() {
        add({copy("a.mp4", media("mpeg4_mp3.mp4"))});
        viewRow(0);
        QVERIFY(ui().viewerWindow->isVisible());
        ui().viewerWindow->activateWindow();
        QTRY_VERIFY(ui().viewerWindow->isActiveWindow());
        for (bool full : {true, false, true, false}) {
            QTRY_VERIFY(QGuiApplication::focusWindow());
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_F);
            QCOMPARE(c().inFullscreen(), full);
        }
    }
};

QTEST_MAIN(TransportTest)
#include "test_transport.moc"
