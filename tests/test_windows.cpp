// Fades, the controller's auto-hide, the full-screen picture, the seek
// buttons and the rounded panel, on Qt's offscreen platform.

#include <QImage>
#include <QKeyEvent>
#include <QPainterPath>
#include <QtTest>
#include <cmath>

#include "fake_movie_view.h"
#include "platform/log.h"
#include "platform/window_levels.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "transport/fader.h"
#include "ui/full_screen_window.h"
#include "ui/rounded_panel.h"
#include "ui/seek_buttons.h"

using namespace reel;

namespace {

// Every command the given buttons send, and every log line, while it lives.
struct Recorder {
    explicit Recorder(std::initializer_list<SeekButton*> buttons = {}) {
        for (SeekButton* button : buttons) {
            connections.push_back(QObject::connect(button, &SeekButton::command, [this](FastCommand command) {
                static const char* const words[] = {"forward", "rewind", "play", "next", "previous"};
                fast << words[int(command)];
            }));
        }
        platform::setLogSink(
            [this](std::string_view line) { log << QString::fromUtf8(line.data(), int(line.size())); });
    }
    ~Recorder() {
        for (const auto& connection : connections) QObject::disconnect(connection);
        platform::setLogSink({});
    }
    std::vector<QMetaObject::Connection> connections;
    QStringList fast;
    QStringList log;
};

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    void fadesTakeElevenTicksAndEndExactly() {
        QWidget window;
        int fadedOut = 0;
        Fader::Behaviour behaviour;
        behaviour.fadedOut = [&] { ++fadedOut; };
        Fader fader(&window, behaviour);

        fader.fadeIn();
        QCOMPARE(fader.alphaValue(), 0.0f);
        QVERIFY(window.isVisible());
        int ticks = 0;
        float last = 0;
        while (fader.fading() && ticks < 20) {
            last = fader.alphaValue();
            fader.fadeInTick();
            ++ticks;
        }
        QCOMPARE(ticks, 11);
        QVERIFY(last > 1.0f);  // the tenth step overshoots a little in single precision
        QCOMPARE(fader.alphaValue(), 1.0f);

        fader.fadeOut();
        ticks = 0;
        while (fader.fading() && ticks < 20) {
            last = fader.alphaValue();
            fader.fadeOutTick();
            ++ticks;
        }
        QCOMPARE(ticks, 11);
        QVERIFY(last < 0.0f && last > -1e-6f);
        QCOMPARE(fader.alphaValue(), 0.0f);
        QVERIFY(!window.isVisible());
        QCOMPARE(fadedOut, 1);

        // From half way a fade takes correspondingly fewer ticks; and it runs by itself.
        fader.setAlphaValue(0.5f);
        window.show();
        fader.fadeOut();
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(fadedOut, 2);
    }

    void aNewFadeReplacesTheRunningOne() {
        FadeWindow viewer;
        fake::MovieView view;
        viewer.setContentView(&view);
        int fadedOut = 0;
        connect(&viewer, &FadeWindow::fadedOut, [&] { ++fadedOut; });
        viewer.fadeIn();
        QTRY_COMPARE(viewer.alphaValue(), 1.0f);
        view.playing = true;
        // Viewing another movie: out, then straight back in.
        viewer.fadeOut();
        QVERIFY(!view.playing);  // the movie stops at once
        viewer.fadeIn();
        QTest::qWait(800);
        QVERIFY(viewer.isVisible());
        QCOMPARE(viewer.alphaValue(), 1.0f);
        QCOMPARE(fadedOut, 0);
        viewer.setContentView(nullptr);
    }

    void viewerRefusesToCloseAndSwallowsEscape() {
        Recorder recorder;
        FadeWindow viewer;
        fake::MovieView view;
        viewer.setContentView(&view);
        viewer.fadeIn();
        QTRY_COMPARE(viewer.alphaValue(), 1.0f);
        view.playing = true;
        QVERIFY(!viewer.close());  // the close button fades instead
        QVERIFY(!view.playing);
        QTRY_VERIFY(!viewer.isVisible());
        QCOMPARE(viewer.alphaValue(), 0.0f);
        viewer.fadeIn();  // and the window comes back
        QTRY_COMPARE(viewer.alphaValue(), 1.0f);

        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
        QApplication::sendEvent(&viewer, &escape);
        QCOMPARE(recorder.log, QStringList{"27"});
        QVERIFY(viewer.isVisible());
        viewer.setContentView(nullptr);
    }

    void controllerComesBackOnlyWhenFadedOut() {
        ControllerWindow controller;
        controller.fades().setAlphaValue(0.5f);
        controller.QWidget::show();
        controller.fadeOut();
        controller.show();
        QVERIFY(controller.alphaValue() == 0.5f);  // mid-fade: left alone
        QTRY_VERIFY(!controller.isVisible());
        controller.show();
        QTRY_COMPARE(controller.alphaValue(), 1.0f);
        QVERIFY(controller.isVisible());
    }

    void autoHideOnlyAboveTheNormalLevel() {
        ControllerWindow controller;
        controller.fadeIn();
        QTRY_COMPARE(controller.alphaValue(), 1.0f);
        controller.mouseMoved();
        QVERIFY(!controller.autoHidePending());

        platform::setWindowLevel(&controller, platform::kFullScreenLevel + 1);
        controller.mouseMoved();
        QVERIFY(controller.autoHidePending());
        platform::setWindowLevel(&controller, 0);  // a change of level leaves it pending
        QVERIFY(controller.autoHidePending());
        controller.mouseMoved();  // only a move at the normal level cancels it
        QVERIFY(!controller.autoHidePending());

        platform::setWindowLevel(&controller, platform::kFullScreenLevel + 1);
        controller.mouseMoved();
        QTRY_VERIFY_WITH_TIMEOUT(!controller.isVisible(), ControllerWindow::kAutoHideMilliseconds + 3000);
        QVERIFY(!controller.autoHidePending());
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

    void fullScreenWindowTellsOfTheMouseAndKeepsEscape() {
        Recorder recorder;
        int moved = 0;
        FullScreenWindow window(QRect(0, 0, 640, 480));
        connect(&window, &FullScreenWindow::moved, [&] { ++moved; });
        QTest::mouseMove(&window, QPoint(10, 10));  // hidden: says nothing
        QMouseEvent hiddenMove(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton,
                               Qt::NoModifier);
        QApplication::sendEvent(&window, &hiddenMove);
        QCOMPARE(moved, 0);
        window.show();
        QMouseEvent move(QEvent::MouseMove, QPointF(20, 20), QPointF(20, 20), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&window, &move);
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(30, 30));
        QCOMPARE(moved, 2);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
        QApplication::sendEvent(&window, &escape);
        QCOMPARE(recorder.log, QStringList{"27"});
        QVERIFY(window.isVisible());
        window.sinkBelowOthers();
        QCOMPARE(platform::windowLevel(&window), -20);
        window.raiseAboveOthers();
        QCOMPARE(platform::windowLevel(&window), 26);
    }

    void seekButtonsTellClicksFromHolds() {
        RWButton rewind;
        FFButton forward;
        rewind.resize(40, 30);
        forward.resize(40, 30);
        rewind.show();
        forward.show();
        {
            Recorder r{&rewind, &forward};
            QTest::mousePress(&rewind, Qt::LeftButton);
            QTest::qWait(300);
            QTest::mouseRelease(&rewind, Qt::LeftButton, {},
                                QPoint(400, 400));  // let go outside: still a click
            QCOMPARE(r.fast, QStringList{"previous"});
            QVERIFY(r.log.isEmpty());
            QVERIFY(!rewind.isDown());
        }
        {
            Recorder r{&rewind, &forward};
            QTest::mousePress(&forward, Qt::LeftButton);
            QTest::qWait(300);
            QTest::mouseRelease(&forward, Qt::LeftButton);
            QCOMPARE(r.fast, QStringList{"next"});
            QCOMPARE(r.log, QStringList{"Click once"});
        }
        {
            Recorder r{&rewind, &forward};
            QTest::mousePress(&forward, Qt::LeftButton);
            QVERIFY(forward.isDown());
            QTRY_COMPARE_WITH_TIMEOUT(r.fast, QStringList{"forward"}, 1500);
            QCOMPARE(r.log, QStringList{"Mouse being held down"});
            QTest::qWait(1400);
            QVERIFY(forward.isDown());
            QTest::mouseRelease(&forward, Qt::LeftButton);
            QCOMPARE(r.fast, QStringList({"forward", "play"}));
            QVERIFY(!forward.isDown());
        }
        {
            Recorder r{&rewind, &forward};  // dragging while it decides is still a hold
            QTest::mousePress(&rewind, Qt::LeftButton, {}, QPoint(5, 5));
            QMouseEvent drag(QEvent::MouseMove, QPointF(30, 25), QPointF(30, 25), Qt::LeftButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&rewind, &drag);
            QTest::qWait(50);
            QVERIFY(r.fast.isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(r.fast, QStringList{"rewind"}, 1500);
            QTest::mouseRelease(&rewind, Qt::LeftButton);
            QCOMPARE(r.fast, QStringList({"rewind", "play"}));
        }
        {
            Recorder r{&rewind, &forward};  // two quick clicks are two presses
            QTest::mouseClick(&rewind, Qt::LeftButton);
            QTest::mouseClick(&rewind, Qt::LeftButton);
            QCOMPARE(r.fast, QStringList({"previous", "previous"}));
        }
    }

    void roundedOutline() {
        const QPainterPath path = bezierPathCurved(QRectF(0, 0, 100, 50), 10);
        QCOMPARE(path.elementAt(0).x, 50.0);
        QCOMPARE(path.elementAt(0).y, 50.0);
        QCOMPARE(path.boundingRect(), QRectF(0, 0, 100, 50));
        // Each corner is a quarter circle of radius 10 about a centre 10 in from both edges.
        const QPointF centres[] = {{10, 40}, {10, 10}, {90, 10}, {90, 40}};
        const QPointF corners[] = {{0, 50}, {0, 0}, {100, 0}, {100, 50}};
        for (int i = 0; i < 4; ++i) {
            QVERIFY(!path.contains(corners[i] + (centres[i] - corners[i]) * 0.05));
            int onArc = 0;
            for (const QPointF& p : path.toFillPolygon()) {
                const bool inCorner =
                    std::abs(p.x() - corners[i].x()) < 10 && std::abs(p.y() - corners[i].y()) < 10;
                if (!inCorner) continue;
                const double distance = std::hypot(p.x() - centres[i].x(), p.y() - centres[i].y());
                QVERIFY2(std::abs(distance - 10) < 0.05,
                         qPrintable(QString("corner %1 off by %2").arg(i).arg(distance - 10)));
                ++onArc;
            }
            QVERIFY(onArc >= 3);
        }
        // The straight middles of the edges are on the outline.
        for (const QPointF& p :
             {QPointF(50, 0.01), QPointF(0.01, 25), QPointF(99.99, 25), QPointF(50, 49.99)})
            QVERIFY(path.contains(p));
    }

    void panelFillsItsInsetBeforeItsFrame() {
        QCOMPARE(RoundedPanel::insetRect(QRectF(0, 0, 200, 100)), QRectF(3, 4, 194, 93));
        RoundedPanel panel;
        panel.resize(200, 100);
        QImage image(200, 100, QImage::Format_ARGB32);
        image.fill(Qt::black);
        panel.render(&image);
        const QRgb fill = qRgb(220, 225, 200);
        QCOMPARE(image.pixel(100, 50), fill);
        QCOMPARE(image.pixel(3, 50), fill);
        QCOMPARE(image.pixel(196, 50), fill);
        QCOMPARE(image.pixel(100, 3), fill);   // 3 from the top
        QCOMPARE(image.pixel(100, 95), fill);  // 4 from the bottom
        QVERIFY(image.pixel(100, 97) != fill);
        QVERIFY(image.pixel(1, 50) != fill);
        QVERIFY(image.pixel(4, 4) != fill);  // a rounded corner, not a square one

        // A frame is drawn over the fill, never under it.
        panel.setFrameStyle(QFrame::Box | QFrame::Plain);
        panel.setLineWidth(6);
        image.fill(Qt::black);
        panel.render(&image);
        QCOMPARE(image.pixel(100, 50), fill);
        QVERIFY(image.pixel(100, 4) !=
                fill);  // where the thick border and the fill overlap, the border shows
    }
};

QTEST_MAIN(WindowsTest)
#include "test_windows.moc"
