// Files opened in the player from outside its windows (its own command line,
// another Reel's request) and the intake's word on each batch's first entry,
// on Qt's offscreen platform with movie views that play nothing.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QtTest>

#include "app/app_controller.h"
#include "app/file_handover.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "platform/log.h"
#include "support/fake_movie_view.h"
#include "support/fake_toolbox.h"
#include "support/log_recorder.h"
#include "transport/fade_window.h"

using namespace reel;
using Paths = std::vector<std::string>;

namespace {

QString media(const QString& name) { return qEnvironmentVariable("REEL_TEST_MEDIA") + "/" + name; }

}  // namespace

class HandoverTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    QTemporaryDir files_;
    std::unique_ptr<Interface> ui_;
    std::unique_ptr<FileHandover> handover_;
    int views_ = 0;

    AppController& c() { return ui_->controller(); }

    // A real movie under a name of our choosing, as bytes the way a command line gives it.
    QByteArray movie(const QString& name) {
        const QString path = files_.filePath(name);
        if (!QFile::exists(path)) QFile::link(media("mpeg4_mp3.mp4"), path);
        return QFile::encodeName(path);
    }

    QByteArrayList entries() const { return handover_->entries(); }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", config_.path().toUtf8()); }
    void init() {
        views_ = 0;
        ui_ = std::make_unique<Interface>([this] {
            ++views_;
            return std::make_unique<fake::MovieView>();
        });
        handover_ = std::make_unique<FileHandover>(c(), ui_->playlistWindow());
        ui_->playlistWindow().show();
    }
    void cleanup() {
        handover_.reset();
        ui_.reset();
    }

    void theFirstEntryOfEachBatchIsAnnouncedOnce() {
        // Files named "bad…" cannot be opened; the rest can.
        const MovieOpener open = [](const std::string& path,
                                    std::string* whyNot) -> std::unique_ptr<CLMovie> {
            if (path.find("bad") != std::string::npos) {
                *whyNot = "damaged";
                return nullptr;
            }
            return std::make_unique<CLMovie>(fake::movie({fake::video({})}));
        };
        QStringList added;
        QStringList announced;  // batch name, with the entry count when it was told
        PlaylistIntake* intake = nullptr;
        PlaylistIntake made(open, [&](EntryRecord entry) { added << QString::fromStdString(entry.name); });
        intake = &made;
        const auto announce = [&](const QString& batch) {
            return [&, batch] { announced << QString("%1@%2").arg(batch).arg(added.size()); };
        };
        platform::setLogEnabled(false);
        intake->add(Paths{"/m/bad1.mov", "/m/a1.mov", "/m/a2.mov"}, announce("a"));
        intake->add(Paths{"/m/bad2.mov", "/m/bad3.mov"}, announce("none"));
        intake->add(Paths{"/m/b1.mov"});
        intake->add(Paths{"/m/notes.txt", "/m/c1.mov"}, announce("c"));
        // A batch whose announcement adds another batch, itself announced.
        intake->add(Paths{"/m/d1.mov"}, [&] {
            announced << QString("d@%1").arg(added.size());
            intake->add(Paths{"/m/e1.mov"}, announce("e"));
        });
        intake->finish();
        QCOMPARE(added,
                 QStringList({"/m/a1.mov", "/m/a2.mov", "/m/b1.mov", "/m/c1.mov", "/m/d1.mov", "/m/e1.mov"}));
        QCOMPARE(announced, QStringList({"a@1", "c@4", "d@5", "e@6"}));

        // A cancelled batch says nothing, and the numbering still fits the next one.
        announced.clear();
        intake->add(Paths{"/m/bad4.mov", "/m/f1.mov", "/m/f2.mov"}, announce("f"));
        intake->cancel();
        intake->add(Paths{"/m/bad5.mov", "/m/g1.mov"}, announce("g"));
        intake->finish();
        QCOMPARE(announced, QStringList({"g@7"}));
        QCOMPARE(added.last(), QString("/m/g1.mov"));
        // Nothing left over announces later.
        intake->add(Paths{"/m/h1.mov"});
        intake->finish();
        QCOMPARE(announced.size(), 1);
        platform::setLogEnabled(true);
    }

    void takesAbsoluteNamesAsADropWould() {
        test::LogRecorder log;
        const QByteArray a = movie("a.mp4"), b = movie("b.MOV");
        const QByteArray missing = QFile::encodeName(files_.filePath("missing.mp4"));
        const QByteArray notes = QFile::encodeName(files_.filePath("notes.txt"));
        handover_->open(
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
    }

    void playViewsTheFirstFileThatIsAdded() {
        platform::setLogEnabled(false);
        const QByteArray a = movie("a.mp4"), b = movie("b.mp4"), c1 = movie("c.mp4");
        handover_->open({a, b}, false);
        c().intake().finish();
        handover_->open({QFile::encodeName(files_.filePath("gone.mp4")), "not/absolute.mp4", c1, a}, true);
        c().intake().finish();
        QCOMPARE(entries(), QByteArrayList({a, b, c1, a}));
        QCOMPARE(c().selectedRow(), 2);
        QCOMPARE(views_, 1);
        QVERIFY(c().outlets().viewerWindow->isVisible());
        QCOMPARE(c().outlets().nameField->text(), QString("c"));
        QCOMPARE(c().outlets().viewerWindow->windowTitle(), QString("c.mp4"));

        // None of them added: nothing is viewed anew.
        handover_->open({QFile::encodeName(files_.filePath("gone.mp4"))}, true);
        c().intake().finish();
        QCOMPARE(views_, 1);
        QCOMPARE(c().selectedRow(), 2);
        platform::setLogEnabled(true);
    }

    void filesArrivingWhileAThousandAreAddedGoAfterThem() {
        platform::setLogEnabled(false);
        QByteArrayList many;
        for (int i = 0; i < 1000; ++i) many << movie(QString("many%1.mp4").arg(i, 4, 10, QChar('0')));
        handover_->open(many, false);
        QVERIFY(c().intake().busy());
        const QByteArray x = movie("x.mp4"), y = movie("y.mp4");
        handover_->openFromElsewhere({x, y}, true);
        handover_->openFromElsewhere({y}, false);
        QTRY_VERIFY_WITH_TIMEOUT(!c().intake().busy(), 60000);
        QCOMPARE(entries(), many + QByteArrayList({x, y, y}));
        QCOMPARE(c().selectedRow(), 1000);
        QCOMPARE(views_, 1);
        platform::setLogEnabled(true);
    }

    void filesFromElsewhereBringThePlaylistBack() {
        platform::setLogEnabled(false);
        QMainWindow& window = ui_->playlistWindow();
        // With a movie on screen, the playlist may be hidden.
        handover_->open({movie("shown.mp4")}, true);
        c().intake().finish();
        c().fadeOut();
        QTRY_VERIFY(!window.isVisible());
        handover_->openFromElsewhere({}, false);  // `reel` with no files: just show the player
        QTRY_VERIFY(window.isVisible());
        QTRY_COMPARE(window.windowOpacity(), 1.0);

        window.showMinimized();
        handover_->openFromElsewhere({movie("a.mp4")}, false);
        QVERIFY(!(window.windowState() & Qt::WindowMinimized));
        c().intake().finish();
        QCOMPARE(entries().size(), 2);
        platform::setLogEnabled(true);
    }

    void requestsFromElsewhereAreLogged() {
        test::LogRecorder log;
        handover_->openFromElsewhere({movie("a.mp4"), movie("b.mp4")}, true);
        handover_->openFromElsewhere({movie("c.mp4")}, false);
        QVERIFY(log.count("another Reel handed over 2 files, to play"));
        QVERIFY(log.count("another Reel handed over 1 file"));
        c().intake().finish();
    }
};

QTEST_MAIN(HandoverTest)
#include "test_handover.moc"
