// Files opened from outside the player's windows, and the intake's word on each batch's first entry.

#include <QMainWindow>
#include <QtTest>

#include "app/file_handover.h"
#include "app/playlist_intake.h"
#include "platform/log.h"
#include "support/fake_toolbox.h"
#include "support/log_recorder.h"
#include "support/qt_support.h"
#include "transport/fade_window.h"

using namespace reel;
using Paths = std::vector<std::string>;

class HandoverTest : public test::InterfaceTest {
    Q_OBJECT
public:
    HandoverTest()
        : InterfaceTest([this] {
              ++views_;
              return std::make_unique<fake::MovieView>();
          }) {}

private:
    int views_ = 0;

    // A real movie under a name of our choosing, as bytes the way a command line gives it.
    QByteArray movie(const QString& name) {
        const QString path = files_.filePath(name);
        if (!QFile::exists(path)) QFile::link(test::media("mpeg4_mp3.mp4"), path);
        return QFile::encodeName(path);
    }
    FileHandover handover() { return FileHandover(c(), interface().playlistWindow()); }
    QByteArrayList entries() { return handover().entries(); }

private slots:
    void init() {
        platform::setLogEnabled(false);
        views_ = 0;
        relaunch();
        interface().playlistWindow().show();
    }

    // An announcement (play's, below) may add a batch of its own; a cancelled batch says nothing.
    void announcementsThatAddAndBatchesCancelled() {
        QStringList added, announced;  // announced: the batch, with the entry count when it was told
        PlaylistIntake intake(
            [](const std::string&, std::string*) {
                return std::make_unique<CLMovie>(fake::movie({fake::video({})}));
            },
            [&](EntryRecord entry) { added << QString::fromStdString(entry.name); });
        const auto announce = [&](const QString& batch) {
            return [&, batch] { announced << QString("%1@%2").arg(batch).arg(added.size()); };
        };
        intake.add(Paths{"/m/d1.mov"}, [&] {
            announced << QString("d@%1").arg(added.size());
            intake.add(Paths{"/m/e1.mov"}, announce("e"));
        });
        intake.finish();
        intake.add(Paths{"/m/f1.mov", "/m/f2.mov"}, announce("f"));
        intake.cancel();
        intake.add(Paths{"/m/g1.mov"}, announce("g"));
        intake.finish();
        QCOMPARE(announced, QStringList({"d@1", "e@2", "g@3"}));
        QCOMPARE(added, QStringList({"/m/d1.mov", "/m/e1.mov", "/m/g1.mov"}));
    }

    // Only absolute names of files that are there are added; with play, the batch's first is viewed.
    void takesAbsoluteNamesAsADropWouldAndViewsTheFirstAdded() {
        platform::setLogEnabled(true);
        test::LogRecorder log;
        const QByteArray a = movie("a.mp4"), b = movie("b.MOV"), c1 = movie("c.mp4");
        const QByteArray missing = QFile::encodeName(files_.filePath("missing.mp4"));
        const QByteArray notes = QFile::encodeName(files_.filePath("notes.txt"));
        handover().open(
            {a, "relative.mp4", "/tmp/caf\xe9.mp4", QByteArray("/tmp/a\0b.mp4", 12), missing, notes, b, a},
            false);
        c().intake().finish();
        QCOMPARE(entries(), QByteArrayList({a, b, a}));
        QVERIFY(log.count("skipped \"relative.mp4\": not an absolute path"));
        QVERIFY(log.count("skipped \"/tmp/caf\\udce9.mp4\": "));  // bytes, not refused for not being UTF-8
        QVERIFY(log.count("the name holds a NUL byte"));
        QVERIFY(log.count("skipped \"" + missing.toStdString()));
        QVERIFY(!log.count("notes.txt"));  // a name the playlist never takes is passed over quietly
        // Adding selects nothing and views nothing.
        QCOMPARE(c().selectedRow(), -1);
        QCOMPARE(views_, 0);

        handover().open({missing, "not/absolute.mp4", c1, a}, true);
        c().intake().finish();
        QCOMPARE(entries(), QByteArrayList({a, b, a, c1, a}));
        QCOMPARE(c().selectedRow(), 3);
        QCOMPARE(views_, 1);
        QVERIFY(ui().viewerWindow->isVisible());
        // None of them added: nothing is viewed anew.
        handover().open({missing}, true);
        c().intake().finish();
        QCOMPARE(views_, 1);
        QCOMPARE(c().selectedRow(), 3);
    }

    void filesFromElsewhereGoAfterAThousandBeingAddedAndBringThePlaylistBack() {
        QByteArrayList many;
        for (int i = 0; i < 1000; ++i) many << movie(QString("many%1.mp4").arg(i, 4, 10, QChar('0')));
        handover().open(many, false);
        QVERIFY(c().intake().busy());
        const QByteArray x = movie("x.mp4"), y = movie("y.mp4");
        handover().openFromElsewhere({x, y}, true);
        handover().openFromElsewhere({y}, false);
        QTRY_VERIFY_WITH_TIMEOUT(!c().intake().busy(), 60000);
        QCOMPARE(entries(), many + QByteArrayList({x, y, y}));
        QCOMPARE(c().selectedRow(), 1000);
        QCOMPARE(views_, 1);

        // With a movie on screen the playlist may be hidden or minimised; files from elsewhere bring it back.
        QMainWindow& window = interface().playlistWindow();
        c().fadeOut();
        QTRY_VERIFY(!window.isVisible());
        handover().openFromElsewhere({}, false);  // `reel` with no files: just show the player
        QTRY_VERIFY(window.isVisible());
        QTRY_COMPARE(window.windowOpacity(), 1.0);
        window.showMinimized();
        handover().openFromElsewhere({movie("a.mp4")}, false);
        QVERIFY(!(window.windowState() & Qt::WindowMinimized));
    }
};

QTEST_MAIN(HandoverTest)
#include "test_handover.moc"
