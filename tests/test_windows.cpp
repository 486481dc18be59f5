// Fades, the controller's auto-hide, the full-screen picture, the seek
// buttons and the rounded panel, on Qt's offscreen platform. Timers are
// fired by the test, never waited for.

#include <QImage>
#include <QKeyEvent>
#include <QPainterPath>
#include <QtTest>
#include <cmath>

#include "platform/window_levels.h"
#include "support/fake_movie_view.h"
#include "support/log_recorder.h"
#include "support/qt_support.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "transport/fader.h"
#include "ui/full_screen_window.h"
#include "ui/rounded_panel.h"
#include "ui/seek_buttons.h"

using namespace reel;
using test::expire;
using test::runOut;
using Lines = std::vector<std::string>;

namespace {

void sendEscape(QWidget* window) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
    QApplication::sendEvent(window, &escape);
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    void fadesTakeElevenStepsAndEndExactly() {
        QWidget window;
        int fadedOut = 0;
        Fader fader(&window, {.fadeOutStarting = {}, .fadedOut = [&] { ++fadedOut; }});
        fader.fadeIn();
        QCOMPARE(fader.alphaValue(), 0.0f);
        QVERIFY(window.isVisible());
        QCOMPARE(runOut(fader), 11);
        QCOMPARE(fader.alphaValue(), 1.0f);
        fader.fadeOut();
        QCOMPARE(runOut(fader), 11);
        QCOMPARE(fader.alphaValue(), 0.0f);
        QVERIFY(!window.isVisible());
        QCOMPARE(fadedOut, 1);
        // From half way a fade takes correspondingly fewer steps.
        fader.setAlphaValue(0.5f);
        window.show();
        fader.fadeOut();
        QVERIFY(runOut(fader) <= 7);
        QVERIFY(!window.isVisible());
        QCOMPARE(fadedOut, 2);
    }

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
        QVERIFY(viewer.isVisible());
        QCOMPARE(viewer.alphaValue(), 1.0f);
        QCOMPARE(fadedOut, 0);

        viewer.close();
        runOut(viewer.fades());
        QVERIFY(!viewer.isVisible());
        QCOMPARE(fadedOut, 1);
        viewer.fadeIn();  // and the window comes back
        runOut(viewer.fades());
        QCOMPARE(viewer.alphaValue(), 1.0f);
        sendEscape(&viewer);
        QCOMPARE(log.take(), Lines{"27"});
        QVERIFY(viewer.isVisible());
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
        QVERIFY(controller.isVisible());

        QTimer& hide = controller.autoHideTimer();
        controller.mouseMoved();
        QVERIFY(!hide.isActive());
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

    void pictureFillsTheScreenKeepingItsShape() {
        const struct {
            QSizeF screen, view;
            QRectF picture;
        } cases[] = {
            {{1280, 1024}, {640, 320}, {0, 192, 1280, 640}}, {{1280, 1024}, {300, 400}, {256, 0, 768, 1024}},
            {{1280, 1024}, {640, 512}, {0, 0, 1280, 1024}},  {{1920, 1080}, {1920, 1080}, {0, 0, 1920, 1080}},
            {{1280, 1024}, {640, 0}, {0, 0, 1280, 1024}},
        };
        for (const auto& c : cases) QCOMPARE(pictureRect(c.screen, c.view), c.picture);
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
        sendEscape(&window);
        QCOMPARE(log.take(), Lines{"27"});
        QVERIFY(window.isVisible());
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
            {&rewind, 1, false, false, {400, 400}, {"previous"}, {}},  // let go outside: still a click
            {&forward, 1, false, false, {20, 15}, {"next"}, {"Click once"}},
            {&rewind, 2, false, false, {20, 15}, {"previous", "previous"}, {}},  // quick clicks are two
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
                QVERIFY(c.button->isDown());
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

    // Each corner of the outline is a quarter circle of radius 10 about a centre
    // 10 in from both edges; the panel fills its inset before its frame.
    void roundedPanel() {
        const QPainterPath path = bezierPathCurved(QRectF(0, 0, 100, 50), 10);
        QCOMPARE(path.boundingRect(), QRectF(0, 0, 100, 50));
        for (const QPointF centre : {QPointF(10, 40), QPointF(10, 10), QPointF(90, 10), QPointF(90, 40)}) {
            const QPointF corner(centre.x() < 50 ? 0 : 100, centre.y() < 25 ? 0 : 50);
            QVERIFY(!path.contains(corner + (centre - corner) * 0.05));
            int onArc = 0;
            for (const QPointF& p : path.toFillPolygon()) {
                if (std::abs(p.x() - corner.x()) >= 10 || std::abs(p.y() - corner.y()) >= 10) continue;
                QVERIFY2(std::abs(std::hypot(p.x() - centre.x(), p.y() - centre.y()) - 10) < 0.05,
                         qPrintable(QString("off the arc at %1,%2").arg(p.x()).arg(p.y())));
                ++onArc;
            }
            QVERIFY(onArc >= 3);
        }

        RoundedPanel panel;
        panel.resize(200, 100);
        QImage image(200, 100, QImage::Format_ARGB32);
        image.fill(Qt::black);
        panel.render(&image);
        const QRgb fill = qRgb(220, 225, 200);
        // 3 in from the left, right and top, 4 from the bottom, with rounded corners.
        for (const QPoint p :
             {QPoint(100, 50), QPoint(3, 50), QPoint(196, 50), QPoint(100, 3), QPoint(100, 95)})
            QCOMPARE(image.pixel(p), fill);
        for (const QPoint p : {QPoint(100, 97), QPoint(1, 50), QPoint(4, 4)}) QVERIFY(image.pixel(p) != fill);
        // A frame is drawn over the fill, never under it.
        panel.setFrameStyle(QFrame::Box | QFrame::Plain);
        panel.setLineWidth(6);
        image.fill(Qt::black);
        panel.render(&image);
        QCOMPARE(image.pixel(100, 50), fill);
        QVERIFY(image.pixel(100, 4) != fill);
    }
};

QTEST_MAIN(WindowsTest)
#include "test_windows.moc"
