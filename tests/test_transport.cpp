// The viewer, the transport and the end-of-movie advance, with a movie view
// that plays nothing: the test moves its clocks and ends its movies.

#include <sys/stat.h>

#include <QLabel>
#include <QMainWindow>
#include <QSlider>
#include <QtTest>

#include "app/playlist_table.h"
#include "platform/preferences.h"
#include "support/fake_movie_view.h"
#include "support/log_recorder.h"
#include "support/qt_support.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "ui/full_screen_window.h"
#include "ui/image_button.h"

using namespace reel;

class TransportTest : public test::InterfaceTest {
    Q_OBJECT
public:
    TransportTest() : InterfaceTest([] { return std::make_unique<fake::MovieView>(); }) {}

private:
    fake::MovieView& view() { return *static_cast<fake::MovieView*>(c().view()); }
    // Each viewing sets one movie on the view.
    int loads() { return c().view() ? int(view().loaded.size()) : 0; }

    void addThree() {
        add({copy("a.mp4"), copy("b.avi", "dx50_mp3.avi"), copy("c.mov", "mjpeg_ima4_2997.mov")});
    }
    QString lasting(const QString& name, double seconds) {
        return make(name, {"-f", "lavfi", "-i", "color=size=16x16:rate=5", "-t", QString::number(seconds),
                           "-c:v", "mpeg4"});
    }
    QString readOut() { return ui().cTimeField->text(); }
    float slider() { return AppController::floatValue(ui().timeSlider); }

private slots:
    void viewingFillsTheWindows() {
        add({copy("clip.mov", "mjpeg_ima4_2997.mov")});
        viewRow(0);
        QVERIFY(view().playing);
        QCOMPARE(ui().viewerWindow->contentView(), c().view());
        QCOMPARE(ui().viewerWindow->windowTitle(), QString("clip.mov"));
        QCOMPARE(ui().viewerWindow->size(), QSize(320, 240));
        QVERIFY(ui().viewerWindow->isVisible() && ui().cWindow->isVisible());
        QCOMPARE(ui().cNameField->text(), QString("clip"));
        QCOMPARE(readOut(), QString("0:00:02"));
    }

    void theEndAdvancesFromTheSelectionUntilTheLastEntry() {
        addThree();
        viewRow(0);
        MovieView* const session = c().view();
        fake::playToEnd(view().clock);
        QTRY_COMPARE(c().selectedRow(), 1);
        QCOMPARE(ui().cNameField->text(), QString("b"));
        // A movie replaced before its end never advances: its callback was disarmed with it.
        // Anything it sent is queued by now, and delivered here.
        const std::shared_ptr<fake::Clock> replaced = view().clock;
        post(FastCommand::Previous);
        fake::playToEnd(replaced);
        QCoreApplication::processEvents();
        QCOMPARE(c().selectedRow(), 0);
        QCOMPARE(loads(), 3);
        // The user picks another row while the movie plays: the end follows the selection.
        c().selectRow(1);
        fake::playToEnd(view().clock);
        QTRY_COMPARE(loads(), 4);
        QCOMPARE(c().selectedRow(), 2);
        // The last entry's end closes the viewer; one view serves the whole session.
        fake::playToEnd(view().clock);
        QTRY_VERIFY(!ui().viewerWindow->isVisible());
        QCOMPARE(c().view(), session);
        QCOMPARE(c().selectedRow(), 2);
        QCOMPARE(loads(), 4);

        viewRow(1);
        ui().tableView->clearSelection();  // no row: the first follows
        fake::playToEnd(view().clock);
        QTRY_COMPARE(loads(), 6);
        QCOMPARE(c().selectedRow(), 0);
        // Everything removed while playing: the viewer closes and nothing plays.
        while (!c().objects().empty()) {
            c().selectRow(0);
            c().removeItem();
        }
        fake::playToEnd(view().clock);
        QTRY_VERIFY(!ui().viewerWindow->isVisible());
        QCOMPARE(loads(), 6);
    }

    void theFastCommands() {
        for (FastCommand command : {FastCommand::Forward, FastCommand::Play, FastCommand::Next})
            post(command);  // nothing to act on yet
        QCOMPARE(loads(), 0);
        add({copy("a.mp4"), copy("b.avi", "dx50_mp3.avi")});
        const struct {
            FastCommand command;
            int row, loads;
            bool muted = false;
            float rate = 1;
        } steps[] = {
            {FastCommand::Previous, -1, 0},  // nothing selected
            {FastCommand::Next, 0, 1},       // nothing selected: the first entry
            {FastCommand::Previous, 0, 1},
            {FastCommand::Next, 1, 2},
            {FastCommand::Next, 1, 2},
            {FastCommand::Previous, 0, 3},
            // Scanning is muted at three times normal speed both ways; play is back to normal.
            {FastCommand::Forward, 0, 3, true, 3},
            {FastCommand::Play, 0, 3},
            {FastCommand::Rewind, 0, 3, true, -3},
            {FastCommand::Play, 0, 3},
        };
        for (const auto& s : steps) {
            post(s.command);
            QCOMPARE(c().selectedRow(), s.row);
            QCOMPARE(loads(), s.loads);
            if (!s.loads) continue;
            QCOMPARE(view().muted, s.muted);
            QCOMPARE(view().rate(), s.rate);
        }
        view().muted = true;  // play at rate 1 changes nothing, not even the sound
        post(FastCommand::Play);
        QVERIFY(view().muted);
        QVERIFY(ui().viewerWindow->isVisible());
    }

    void positionReadOutPauseAndSeeking() {
        add({lasting("ninety.mp4", 5400), lasting("minute.mp4", 61), lasting("blink.mp4", 0.6)});
        viewRow(0);
        view().clock->seconds = 83;
        c().checkTime();
        QCOMPARE(readOut(), QString("0:01:23/1:30:00"));
        QVERIFY(qAbs(slider() - 83.0f / 5400.0f) < 1e-4f);

        // Pausing shows at once where it stopped, and the read-out stays there while paused.
        view().clock->seconds = 100;
        ui().mainButton->click();
        QVERIFY(!view().playing);
        QCOMPARE(readOut(), QString("0:01:40/1:30:00"));
        view().clock->seconds = 600;
        c().checkTime();
        QCOMPARE(readOut(), QString("0:01:40/1:30:00"));

        viewRow(1);
        AppController::setFloatValue(ui().timeSlider, 0.5f);  // the user drags to the middle
        QCOMPARE(view().clock->seconds, 30.0);
        QCOMPARE(readOut(), QString("0:00:30/0:01:01"));

        // No length: the slider stays at the start.
        viewRow(2);
        view().clock->seconds = 0.4;
        c().checkTime();
        QCOMPARE(slider(), 0.0f);
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
        button->click();  // empty playlist: nothing opens, the button still says pause
        QCOMPARE(loads(), 0);
        QCOMPARE(button->image().cacheKey(), c().icons().pause.cacheKey());
        c().checkTime();  // nothing plays: the next tick puts it right
        QVERIFY(!c().buttonState());
        QCOMPARE(button->image().cacheKey(), c().icons().play.cacheKey());

        add({copy("a.mp4")});
        c().selectRow(0);
        c().showSelectedEntryInfo();
        button->click();  // play with the viewer closed opens the selected entry
        QCOMPARE(loads(), 1);
        QVERIFY(view().playing);
        button->click();
        QVERIFY(!view().playing);
        QCOMPARE(button->image().cacheKey(), c().icons().play.cacheKey());
        button->click();
        QVERIFY(view().playing);
        QCOMPARE(loads(), 1);
    }

    void volumeIsKeptAcrossLaunches() {
        const auto volume = [this] { return AppController::floatValue(ui().volumeSlider); };
        // Stored, but not the volume: the layout's own value.
        platform::setPersistentDomain({{"Other", "kept"}}, platform::kPreferenceDomain);
        c().applicationDidFinishLaunching();
        QCOMPARE(volume(), 0.75f);

        AppController::setFloatValue(ui().volumeSlider, 0.25f);  // the user moves the slider
        const auto stored = [] {
            return platform::persistentDomainForName(platform::kPreferenceDomain).value_or(QVariantMap());
        };
        QTRY_COMPARE(stored().value("VolumeLevel").toFloat(), 0.25f);
        QCOMPARE(stored().value("Other").toString(), QString("kept"));
        add({copy("a.mp4")});
        viewRow(0);
        QCOMPARE(view().volume, 0.25f);  // the first movie starts at that volume

        relaunch();
        QCOMPARE(volume(), 0.75f);
        const QByteArray file = config_.filePath("reel/reel.ini").toUtf8();
        struct stat before {};
        QCOMPARE(::stat(file.constData(), &before), 0);
        c().applicationDidFinishLaunching();
        QTRY_COMPARE(volume(), 0.25f);
        // Restoring it writes nothing: the file is the one it was.
        relaunch();
        struct stat after {};
        QCOMPARE(::stat(file.constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    }

    void whatCannotBeViewedIsLeftAlone() {
        c().viewItem();  // nothing selected
        QCOMPARE(loads(), 0);
        const QString doomed = copy("doomed.mp4");
        add({doomed, copy("b.avi", "dx50_mp3.avi")});
        QFile::remove(doomed);
        test::LogRecorder log;
        viewRow(0);  // it looked viewable, but its file went: stopped at, told, and nothing breaks
        QVERIFY(!ui().viewerWindow->isVisible());
        QCOMPARE(log.count("cannot view \"" + doomed.toStdString() + "\""), 1);
        QCOMPARE(c().objects().size(), 2u);
        post(FastCommand::Next);  // the rest of the playlist still plays
        QCOMPARE(c().selectedRow(), 1);
        QVERIFY(ui().viewerWindow->isVisible());
    }

    // Hiding the playlist with nothing else on screen would leave no way back to the player.
    void thePlaylistStaysWhileNoMovieIsShown() {
        ui().mainWindow->show();
        c().showList();  // no movie on screen: refused
        QVERIFY(ui().mainWindow->isVisible());
        add({copy("a.mp4")});
        viewRow(0);
        c().showList();  // a movie on screen: the playlist fades out
        QTRY_VERIFY(!ui().mainWindow->isVisible());
        ui().viewerWindow->fadeOut();  // and comes back when the movie goes
        QTRY_VERIFY(ui().mainWindow->isVisible());
    }

    void fullScreenAcrossAnAdvance() {
        add({copy("a.mp4"), copy("b.avi", "dx50_mp3.avi")});
        c().fullScreen();  // no picture yet: nothing happens
        QVERIFY(!c().inFullscreen());
        viewRow(0);
        c().fullScreen();
        for (int loaded : {1, 2}) {
            QTRY_COMPARE(loads(), loaded);
            QVERIFY(c().inFullscreen());
            QCOMPARE(view().widget()->parentWidget(), static_cast<QWidget*>(c().fullscreenWindow()));
            QVERIFY(view().playing);
            fake::playToEnd(view().clock);
        }
        // The last movie ends out of full screen, with the viewer closed.
        QTRY_VERIFY(!c().inFullscreen());
        QVERIFY(!ui().viewerWindow->isVisible());
        QVERIFY(!c().fullscreenWindow()->isVisible());
    }

    // F goes in and out of full screen as often as it is pressed, though the
    // playlist window, whose menus hold the keys, is not on screen here.
    void theFullScreenKeyWorksBothWaysRepeatedly() {
        add({copy("a.mp4")});
        viewRow(0);
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
