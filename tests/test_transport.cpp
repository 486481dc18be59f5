// The viewer, the transport and the end-of-movie advance, with a movie view
// that plays nothing: the test moves its clocks and ends its movies.

#include <QLabel>
#include <QMainWindow>
#include <QSlider>
#include <QtTest>
#include <thread>

#include "app/playlist_table.h"
#include "platform/preferences.h"
#include "support/fake_movie_view.h"
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
    // The clock's movie plays to its end, as the player tells it: from another thread.
    static void end(std::shared_ptr<fake::Clock> clock) {
        std::thread([clock] { clock->setAtStop(true); }).join();
    }
    QString readOut() { return ui().cTimeField->text(); }
    float slider() { return AppController::floatValue(ui().timeSlider); }

private slots:
    void viewingFillsTheWindows() {
        add({copy("clip.mov", "mjpeg_ima4_2997.mov")});
        AppController::setFloatValue(ui().volumeSlider, 0.4f);
        viewRow(0);
        QVERIFY(view().playing);
        QVERIFY(c().buttonState());
        QCOMPARE(view().volume, 0.4f);
        QCOMPARE(ui().viewerWindow->contentView(), c().view());
        QCOMPARE(ui().viewerWindow->windowTitle(), QString("clip.mov"));
        QCOMPARE(ui().viewerWindow->size(), QSize(320, 240));
        QVERIFY(ui().viewerWindow->isVisible());
        QVERIFY(ui().cWindow->isVisible());
        QCOMPARE(ui().cNameField->text(), QString("clip"));
        QCOMPARE(readOut(), QString("0:00:02"));
        // The volume set is stored, off the main thread.
        QTRY_COMPARE(platform::persistentDomainForName(platform::kPreferenceDomain)
                         .value_or(QVariantMap())
                         .value("VolumeLevel")
                         .toFloat(),
                     0.4f);
    }

    void endsAdvanceUntilTheLastEntry() {
        addThree();
        viewRow(0);
        MovieView* const session = c().view();
        for (int expected = 1; expected <= 2; ++expected) {
            end(view().clock);
            QTRY_COMPARE(c().selectedRow(), expected);
            QCOMPARE(loads(), expected + 1);
            QCOMPARE(ui().cNameField->text(), QString("abc").mid(expected, 1));
            QVERIFY(ui().viewerWindow->isVisible());
        }
        end(view().clock);
        QTRY_VERIFY(!ui().viewerWindow->isVisible());
        QCOMPARE(c().view(), session);  // one view for the whole session
        QCOMPARE(c().selectedRow(), 2);
        QCOMPARE(loads(), 3);
    }

    void theEndFollowsTheSelectionNotTheMovie() {
        addThree();
        viewRow(0);
        c().selectRow(1);  // the user picks another row while the first plays
        end(view().clock);
        QTRY_COMPARE(loads(), 2);
        QCOMPARE(c().selectedRow(), 2);

        ui().tableView->clearSelection();  // no row: the first follows
        end(view().clock);
        QTRY_COMPARE(loads(), 3);
        QCOMPARE(c().selectedRow(), 0);

        // Everything removed while playing: the viewer closes and nothing plays.
        while (!c().objects().empty()) {
            c().selectRow(0);
            c().removeItem();
        }
        end(view().clock);
        QTRY_VERIFY(!ui().viewerWindow->isVisible());
        QCOMPARE(loads(), 3);
    }

    void aReplacedMovieNeverAdvances() {
        addThree();
        viewRow(0);
        const std::shared_ptr<fake::Clock> first = view().clock;
        post(FastCommand::Next);
        QCOMPARE(c().selectedRow(), 1);
        // The first movie's end comes after all: its callback was disarmed with it.
        // Anything it sent is queued by now, and delivered here.
        end(first);
        QCoreApplication::processEvents();
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(loads(), 2);
        // The movie shown now still moves the playlist on at its end.
        end(view().clock);
        QTRY_COMPARE(c().selectedRow(), 2);
    }

    void scanningAndPlayingWords() {
        post(FastCommand::Forward);  // nothing to act on yet
        post(FastCommand::Play);
        add({copy("a.mp4")});
        viewRow(0);
        const struct {
            FastCommand command;
            bool muted;
            float rate;
        } steps[] = {
            {FastCommand::Forward, true, 3.0f},
            {FastCommand::Play, false, 1.0f},
            {FastCommand::Rewind, true, -3.0f},
            {FastCommand::Play, false, 1.0f},
        };
        for (const auto& s : steps) {
            post(s.command);
            QCOMPARE(view().muted, s.muted);
            QCOMPARE(view().rate(), s.rate);
        }
        view().muted = true;  // play at rate 1 changes nothing, not even the sound
        post(FastCommand::Play);
        QVERIFY(view().muted);
        QCOMPARE(loads(), 1);
    }

    void nextAndPreviousStopAtTheEnds() {
        post(FastCommand::Next);  // empty playlist
        QCOMPARE(loads(), 0);
        add({copy("a.mp4"), copy("b.avi", "dx50_mp3.avi")});
        const struct {
            FastCommand command;
            int row, loads;
        } steps[] = {
            {FastCommand::Previous, -1, 0},  // nothing selected
            {FastCommand::Next, 0, 1},       // nothing selected: the first entry
            {FastCommand::Previous, 0, 1},  {FastCommand::Next, 1, 2},
            {FastCommand::Next, 1, 2},      {FastCommand::Previous, 0, 3},
        };
        for (const auto& s : steps) {
            post(s.command);
            QCOMPARE(c().selectedRow(), s.row);
            QCOMPARE(loads(), s.loads);
        }
        QVERIFY(ui().viewerWindow->isVisible());
    }

    void positionReadOutPauseAndSeeking() {
        add({lasting("ninety.mp4", 5400), lasting("minute.mp4", 61), lasting("blink.mp4", 0.6)});
        viewRow(0);
        view().clock->seconds = 83;
        c().checkTime();
        QCOMPARE(readOut(), QString("0:01:23/1:30:00"));
        QVERIFY(qAbs(slider() - 83.0f / 5400.0f) < 1e-4f);
        QCOMPARE(ui().mainButton->image().cacheKey(), c().icons().pause.cacheKey());

        // Pausing shows at once where it stopped, and the read-out stays there while paused.
        view().clock->seconds = 100;
        ui().mainButton->click();
        QVERIFY(!view().playing);
        for (bool tick : {false, true}) {
            if (tick) {
                view().clock->seconds = 600;
                c().checkTime();
            }
            QCOMPARE(readOut(), QString("0:01:40/1:30:00"));
            QVERIFY(qAbs(slider() - 100.0f / 5400.0f) < 1e-4f);
        }
        QCOMPARE(ui().mainButton->image().cacheKey(), c().icons().play.cacheKey());
        QVERIFY(!c().buttonState());

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
        c().applicationDidFinishLaunching();  // nothing stored: the layout's own value
        QCOMPARE(volume(), 0.75f);
        platform::setPersistentDomain({{"Other", "kept"}}, platform::kPreferenceDomain);
        c().applicationDidFinishLaunching();  // stored, but not the volume
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
        c().applicationDidFinishLaunching();
        QTRY_COMPARE(volume(), 0.25f);
    }

    void whatCannotBeViewedIsLeftAlone() {
        c().viewItem();  // nothing selected
        QCOMPARE(loads(), 0);
        const QString doomed = copy("doomed.mp4");
        add({doomed, copy("b.avi", "dx50_mp3.avi")});
        QFile::remove(doomed);
        viewRow(0);
        QVERIFY(!ui().viewerWindow->isVisible());
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
            end(view().clock);
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
