// The player on the headless weston test_wayland.sh starts: through XWayland if it has an X server.

#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <QtTest>

#include "app/app_controller.h"
#include "app/desktop_player.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "platform/mpv_movie_view.h"
#include "platform/window_system.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "ui/full_screen_window.h"

using namespace reel;

class WaylandTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;
    QTemporaryDir files_;

    bool native() const { return qEnvironmentVariable("REEL_EXPECT_PLATFORM") == "wayland"; }

    QString movie(const QString& name) {
        const QString path = files_.filePath(name);
        QFile::link(qEnvironmentVariable("REEL_TEST_MEDIA") + "/mpeg4_mp3.mp4", path);
        return path;
    }

    // Every window on screen can be seen: none was left shown but see-through.
    static bool noneStuckInvisible() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible()) continue;
            if (window->windowOpacity() < 1.0) return false;
            if (auto* faded = qobject_cast<FadeWindow*>(window); faded && faded->alphaValue() < 1.0f)
                return false;
            if (auto* faded = qobject_cast<ControllerWindow*>(window); faded && faded->alphaValue() < 1.0f)
                return false;
        }
        return true;
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", config_.path().toUtf8()); }

    void viewsFullScreenAndReturnsToThePlaylist() {
        QCOMPARE(QGuiApplication::platformName(), qEnvironmentVariable("REEL_EXPECT_PLATFORM"));
        QCOMPARE(platform::windowOpacityWorks(), !native());
        Interface ui;  // with the real movie view: libmpv drawing into an OpenGL window
        AppController& c = ui.controller();
        QMainWindow& playlist = ui.playlistWindow();
        FadeWindow& viewer = ui.viewerWindow();
        fitToWindowSystem(ui);
        playlist.show();
        QVERIFY(QTest::qWaitForWindowExposed(&playlist));

        c.addFiles(QStringList{movie("first.mp4"), movie("second.mp4")});
        c.intake().finish();

        c.selectRow(1);
        c.showSelectedEntryInfo();
        c.viewItem();
        auto* view = dynamic_cast<platform::MpvMovieView*>(c.view());
        QVERIFY(view);
        QSignalSpy firstFrame(view, &platform::MpvMovieView::firstFrameShown);
        if (native()) {
            // No fading here: the viewer and the controller are there at once, whole.
            QVERIFY(viewer.isVisible());
            QCOMPARE(viewer.alphaValue(), 1.0f);
            QCOMPARE(ui.controllerWindow().alphaValue(), 1.0f);
        }
        QTRY_COMPARE(viewer.alphaValue(), 1.0f);
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QTRY_VERIFY_WITH_TIMEOUT(firstFrame.count() > 0, 15000);

        // Full screen covers the screen, as the compositor or window manager makes it.
        c.fullScreen();
        FullScreenWindow& full = *c.fullscreenWindow();
        QTRY_VERIFY(full.windowState() & Qt::WindowFullScreen);
        QVERIFY(QTest::qWaitForWindowExposed(&full));
        QTRY_COMPARE(full.size(), full.screen()->geometry().size());
        c.fullScreen();
        QTRY_VERIFY(!full.isVisible());
        QVERIFY(viewer.isVisible());

        // The list window comes and goes on its key, at once where nothing fades.
        for (bool shown : {false, true}) {
            c.showList();
            if (native()) QCOMPARE(playlist.isVisible(), shown);
            QTRY_COMPARE(playlist.isVisible(), shown);
        }

        // The last entry plays to its end: the viewer goes, the playlist stays.
        QTRY_VERIFY_WITH_TIMEOUT(!viewer.isVisible(), 30000);
        QVERIFY(QTest::qWaitForWindowExposed(&playlist));
        QTRY_VERIFY(noneStuckInvisible());
    }
};

int main(int argc, char** argv) {
    // As the player does: the choice is made before the application object exists.
    reel::platform::chooseWindowSystem(argc, argv);
    QApplication app(argc, argv);
    WaylandTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_wayland.moc"
