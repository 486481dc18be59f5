// The fading windows, the auto-hide, full screen and the seek buttons; the test fires the timers.

#include <QtTest>

#include "platform/window_levels.h"
#include "support/log_recorder.h"
#include "support/qt_support.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "ui/full_screen_window.h"
#include "ui/seek_buttons.h"

using namespace reel;
using test::expire;
using test::runOut;
using Lines = std::vector<std::string>;

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    void viewerFadesInsteadOfClosingAndSwallowsEscape() {
        test::LogRecorder log;
        FadeWindow viewer;
        fake::MovieView view;
        viewer.setContentView(&view);
        int fadedOut = 0;
        connect(&viewer, &FadeWindow::fadedOut, [&] { ++fadedOut; });
        viewer.fadeIn();
        runOut(viewer.fades());
        view.playing = true;
        QVERIFY(!viewer.close());  // the close button fades instead, and the movie stops at once
        QVERIFY(!view.playing);
        QVERIFY(expire(viewer.fades().timer()));
        viewer.fadeIn();  // viewing another movie: out, then straight back in
        runOut(viewer.fades());
        QCOMPARE(viewer.alphaValue(), 1.0f);
        QCOMPARE(fadedOut, 0);
        QTest::keyClick(&viewer, Qt::Key_Escape);
        QCOMPARE(log.take(), Lines{"27"});
        QVERIFY(viewer.isVisible());

        viewer.close();
        runOut(viewer.fades());
        QVERIFY(!viewer.isVisible());
        QCOMPARE(fadedOut, 1);
        viewer.setContentView(nullptr);
    }

    void controllerComesBackWhenFadedOutAndHidesOnlyAboveTheNormalLevel() {
        ControllerWindow controller;
        controller.fades().setAlphaValue(0.5f);
        controller.QWidget::show();
        controller.fadeOut();
        controller.show();
        QCOMPARE(controller.alphaValue(), 0.5f);  // mid-fade: left alone
        runOut(controller.fades());
        QVERIFY(!controller.isVisible());
        controller.show();
        runOut(controller.fades());
        QCOMPARE(controller.alphaValue(), 1.0f);

        QTimer& hide = controller.autoHideTimer();
        platform::setWindowLevel(&controller, platform::kFullScreenLevel + 1);
        controller.mouseMoved();
        QVERIFY(hide.isActive());
        platform::setWindowLevel(&controller, 0);  // a change of level leaves it due
        QVERIFY(hide.isActive());
        controller.mouseMoved();  // only a move at the normal level cancels it
        QVERIFY(!hide.isActive());
        platform::setWindowLevel(&controller, platform::kFullScreenLevel + 1);
        controller.mouseMoved();
        QVERIFY(expire(hide));
        runOut(controller.fades());
        QVERIFY(!controller.isVisible());
    }

    void fullScreenWindowTellsOfTheMouseOnlyWhenShownAndKeepsEscape() {
        test::LogRecorder log;
        int moved = 0;
        FullScreenWindow window(QRect(0, 0, 640, 480));
        connect(&window, &FullScreenWindow::moved, [&] { ++moved; });
        QMouseEvent move(QEvent::MouseMove, QPointF(20, 20), QPointF(20, 20), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&window, &move);
        QCOMPARE(moved, 0);
        window.show();
        QApplication::sendEvent(&window, &move);
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(30, 30));
        QCOMPARE(moved, 2);
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(log.take(), Lines{"27"});
        QVERIFY(window.isVisible());
    }

    // Letterboxed, pillarboxed, exact, and a picture with no height yet (no division by zero).
    void pictureFillsTheScreenKeepingItsShape() {
        const struct {
            QSizeF screen, view;
            QRectF picture;
        } cases[] = {
            {{1280, 1024}, {640, 320}, {0, 192, 1280, 640}},
            {{1280, 1024}, {300, 400}, {256, 0, 768, 1024}},
            {{1280, 1024}, {640, 512}, {0, 0, 1280, 1024}},
            {{1280, 1024}, {640, 0}, {0, 0, 1280, 1024}},
        };
        for (const auto& c : cases) QCOMPARE(pictureRect(c.screen, c.view), c.picture);
    }

    void seekButtonsTellClicksFromHolds() {
        RWButton rewind;
        FFButton forward;
        const struct {
            SeekButton* button;
            int presses;
            bool dragged, held;
            QPoint letGoAt;
            QStringList commands;
            Lines log;
        } cases[] = {
            // Let go outside, still a click; two quick clicks are two.
            {&forward, 1, false, false, {400, 400}, {"next"}, {"Click once"}},
            {&rewind, 2, false, false, {20, 15}, {"previous", "previous"}, {}},
            {&forward, 1, false, true, {20, 15}, {"forward", "play"}, {"Mouse being held down"}},
            // Dragging while it decides neither ends the wait nor un-presses it.
            {&rewind, 1, true, true, {20, 15}, {"rewind", "play"}, {"Mouse being held down"}},
        };
        for (const auto& c : cases) {
            static const char* const words[] = {"forward", "rewind", "play", "next", "previous"};
            QStringList commands;
            const auto connection = connect(c.button, &SeekButton::command,
                                            [&](FastCommand command) { commands << words[int(command)]; });
            test::LogRecorder log;
            c.button->resize(40, 30);
            c.button->show();
            for (int i = 0; i < c.presses; ++i) {
                QTest::mousePress(c.button, Qt::LeftButton, {}, QPoint(5, 5));
                QMouseEvent drag(QEvent::MouseMove, QPointF(30, 25), QPointF(30, 25), Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier);
                if (c.dragged) QApplication::sendEvent(c.button, &drag);
                if (c.held) {
                    QVERIFY(commands.isEmpty());
                    QVERIFY(expire(c.button->holdTimer()));
                    QCOMPARE(commands.size(), 1);
                    QVERIFY(!c.button->holdTimer().isActive());  // held on, nothing more comes
                    QVERIFY(c.button->isDown());
                }
                QTest::mouseRelease(c.button, Qt::LeftButton, {}, c.letGoAt);
            }
            QCOMPARE(commands, c.commands);
            QCOMPARE(log.take(), c.log);
            QVERIFY(!c.button->isDown());
            disconnect(connection);
        }
    }
};

QTEST_MAIN(WindowsTest)
#include "test_windows.moc"
