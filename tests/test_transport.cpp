// The viewer, the transport and the advance, on a view whose clocks and ends the test moves.

#include <QLabel>
#include <QMainWindow>
#include <QtTest>

#include "app/playlist_table.h"
#include "support/qt_support.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "ui/full_screen_window.h"
#include "ui/image_button.h"

using namespace reel;

class TransportTest : public test::FakeViewTest {
    Q_OBJECT

    // Each viewing sets one movie on the view.
    int loads() { return c().view() ? int(view().loaded.size()) : 0; }
    QString lasting(const QString& name, double seconds) {
        return make(name, {"-f", "lavfi", "-i", "color=size=16x16:rate=5", "-t", QString::number(seconds),
                           "-c:v", "mpeg4"});
    }
    QString readOut() { return ui().cTimeField->text(); }

private slots:
    // Next, Previous, View and the button with nothing selected, or nothing to play; then the end
    // advances from the selection until the last entry.
    void theTransportWithNothingChosenAndTheEndsAdvance() {
        for (FastCommand command : {FastCommand::Forward, FastCommand::Play, FastCommand::Next})
            post(command);
        c().viewItem();
        ImageButton* button = ui().mainButton;
        button->click();  // nothing opens, and the next tick puts the button right
        c().checkTime();
        QCOMPARE(button->image().cacheKey(), c().icons().play.cacheKey());
        QCOMPARE(loads(), 0);

        add({copy("a.mp4"), copy("b.avi", "dx50_mp3.avi"), copy("c.mov", "mjpeg_ima4_2997.mov")});
        post(FastCommand::Previous);
        QCOMPARE(loads(), 0);
        post(FastCommand::Next);  // the first entry
        QCOMPARE(c().selectedRow(), 0);
        QCOMPARE(loads(), 1);
        QVERIFY(view().playing);
        viewRow(2);
        QCOMPARE(ui().viewerWindow->windowTitle(), QString("c.mov"));
        QCOMPARE(ui().viewerWindow->size(), QSize(320, 240));
        QVERIFY(ui().viewerWindow->isVisible() && ui().cWindow->isVisible());

        viewRow(0);
        MovieView* const session = c().view();
        fake::playToEnd(view().clock);
        QTRY_COMPARE(c().selectedRow(), 1);
        // A movie replaced before its end never advances: what it sent is queued, and delivered here.
        const std::shared_ptr<fake::Clock> replaced = view().clock;
        post(FastCommand::Previous);
        fake::playToEnd(replaced);
        QCoreApplication::processEvents();
        QCOMPARE(c().selectedRow(), 0);
        // The user picks another row while the movie plays: the end follows the selection.
        c().selectRow(1);
        fake::playToEnd(view().clock);
        QTRY_COMPARE(loads(), 6);
        QCOMPARE(c().selectedRow(), 2);
        viewRow(1);
        ui().tableView->clearSelection();  // no row: the first follows
        fake::playToEnd(view().clock);
        QTRY_COMPARE(loads(), 8);
        QCOMPARE(c().selectedRow(), 0);
        QCOMPARE(c().view(), session);  // one view serves the whole session
        // Everything removed while playing: the viewer closes and nothing plays.
        while (!c().objects().empty()) {
            c().selectRow(0);
            c().removeItem();
        }
        fake::playToEnd(view().clock);
        QTRY_VERIFY(!ui().viewerWindow->isVisible());
        QCOMPARE(loads(), 8);
    }

    void theVolumeIsKeptForTheNextLaunchAndItsFirstMovie() {
        const auto volume = [this] { return AppController::floatValue(ui().volumeSlider); };
        c().applicationDidFinishLaunching();
        QCOMPARE(volume(), 0.75f);  // nothing stored: the layout's own value
        AppController::setFloatValue(ui().volumeSlider, 0.25f);
        relaunch();
        c().applicationDidFinishLaunching();
        QTRY_COMPARE(volume(), 0.25f);
        add({copy("a.mp4")});
        viewRow(0);
        QCOMPARE(view().volume, 0.25f);
    }

    // Pausing shows at once where it stopped (it once lagged a second behind).
    void positionReadOutPauseAndSeeking() {
        add({lasting("ninety.mp4", 5400), lasting("minute.mp4", 61), lasting("blink.mp4", 0.6)});
        viewRow(0);
        view().clock->seconds = 83;
        c().checkTime();
        QCOMPARE(readOut(), QString("0:01:23/1:30:00"));
        view().clock->seconds = 100;
        ui().mainButton->click();
        QCOMPARE(readOut(), QString("0:01:40/1:30:00"));
        view().clock->seconds = 600;
        c().checkTime();
        QCOMPARE(readOut(), QString("0:01:40/1:30:00"));

        viewRow(1);
        AppController::setFloatValue(ui().timeSlider, 0.5f);  // the user drags to the middle
        QCOMPARE(view().clock->seconds, 30.0);
        QCOMPARE(readOut(), QString("0:00:30/0:01:01"));
        // No length: the slider stays at the start, and so does a seek.
        viewRow(2);
        view().clock->seconds = 0.4;
        c().checkTime();
        QCOMPARE(AppController::floatValue(ui().timeSlider), 0.0f);
        AppController::setFloatValue(ui().timeSlider, 0.7f);
        QCOMPARE(view().clock->seconds, 0.0);
    }

    // With no movie on screen neither the playlist may hide (it once could, leaving no way back)
    // nor full screen begin; F works as often as pressed though the playlist, whose menus hold
    // the keys, is hidden; full screen holds across an advance and ends with the last movie.
    void theWindowsWithAndWithoutAMovie() {
        ui().mainWindow->show();
        add({copy("a.mp4"), copy("b.avi", "dx50_mp3.avi")});
        c().showList();
        c().fullScreen();
        QVERIFY(ui().mainWindow->isVisible() && !c().inFullscreen());
        viewRow(0);
        c().showList();
        QTRY_VERIFY(!ui().mainWindow->isVisible());
        ui().viewerWindow->activateWindow();
        QTRY_VERIFY(ui().viewerWindow->isActiveWindow());
        for (bool full : {true, false, true}) {
            QTRY_VERIFY(QGuiApplication::focusWindow());
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_F);
            QCOMPARE(c().inFullscreen(), full);
        }
        for (int loaded : {1, 2}) {
            QTRY_COMPARE(loads(), loaded);
            QVERIFY(c().inFullscreen());
            QCOMPARE(view().widget()->parentWidget(), static_cast<QWidget*>(c().fullscreenWindow()));
            fake::playToEnd(view().clock);
        }
        QTRY_VERIFY(!c().inFullscreen());
        QVERIFY(!ui().viewerWindow->isVisible() && !c().fullscreenWindow()->isVisible());
        QTRY_VERIFY(ui().mainWindow->isVisible());  // back when the movie goes
    }
};

QTEST_MAIN(TransportTest)
#include "test_transport.moc"
