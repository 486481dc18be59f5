// The playlist window as a user meets it, on Qt's offscreen platform.

#include <sys/stat.h>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSlider>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <thread>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "app/playlist_table.h"
#include "fake_toolbox.h"
#include "platform/log.h"
#include "platform/preferences.h"

using namespace reel;

namespace {

QString media(const QString& name) { return qEnvironmentVariable("REEL_TEST_MEDIA") + "/" + name; }

std::unique_ptr<QMimeData> dragOf(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) urls << (path.contains("://") ? QUrl(path) : QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

QStringList names(const AppController& c) {
    QStringList list;
    for (const EntryRecord& e : c.objects()) list << QString::fromStdString(e.name);
    return list;
}

}  // namespace

class PlaylistWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    QTemporaryDir files_;
    std::unique_ptr<Interface> ui_;

    AppController& c() { return ui_->controller(); }

    // A real movie under a name of our choosing.
    QString movie(const QString& name, const QString& from = "mpeg4_mp3.mp4") {
        const QString path = files_.filePath(name);
        QFile::remove(path);
        QFile::copy(media(from), path);
        return path;
    }

    void addAndWait(const QStringList& paths) {
        c().openPanelDidEnd(paths, 1);
        c().intake().finish();
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        platform::setLogEnabled(false);
    }
    void init() { ui_ = std::make_unique<Interface>(); }
    void cleanup() {
        ui_.reset();
        QFile::remove(config_.filePath("reel/reel.ini"));
    }

    void startsEmptyWithNoVideo() {
        QCOMPARE(c().tableView->model()->rowCount(), 0);
        QCOMPARE(c().nameField->text(), QString("No Video"));
        QVERIFY(!c().viewButton->isEnabled());
        QVERIFY(!c().removeButton->isEnabled());
        // A click on the empty table keeps the no-selection panel.
        ui_->playlistWindow().show();
        QTest::mouseClick(c().tableView->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(c().nameField->text(), QString("No Video"));
        for (QLabel* field : {c().sizeField, c().lengthField, c().standardField, c().videoFormatField,
                              c().audioFormatField, c().fpsField})
            QCOMPARE(field->text(), QString());
    }

    void openPanelAddsInOrderAndSkipsWhatItCannot() {
        const QStringList chosen = {
            movie("one.mp4"),   movie("clip.MPEG", "mpeg1_system.mpg"), movie("clip.mkv"),
            media("empty.mov"), movie("Trip.avi", "dx50_mp3.avi"),      files_.filePath("gone.mov"),
            movie("one.mp4")};
        c().openPanelDidEnd(chosen, 0);  // cancelled
        c().intake().finish();
        QCOMPARE(c().objects().size(), 0u);

        addAndWait(chosen);
        QCOMPARE(names(c()), QStringList({chosen[0], chosen[1], chosen[4], chosen[6]}));
        QCOMPARE(c().tableView->model()->rowCount(), 4);
        // The same file twice is two entries.
        QCOMPARE(c().objects()[0], c().objects()[3]);
        QCOMPARE(c().objects()[1].type, std::string("MPEG-1"));
        QCOMPARE(c().objects()[1].audioType, std::string("MPEG1 Muxed"));
        // Every column shows the full path.
        QCOMPARE(c().tableView->model()->index(2, 0).data().toString(), chosen[4]);
        // Adding selects nothing.
        QCOMPARE(c().nameField->text(), QString("No Video"));
    }

    void panelFollowsTheSelection() {
        addAndWait({movie("one.mp4"), movie("Trip.avi", "dx50_mp3.avi")});
        ui_->playlistWindow().show();
        const QRect second = c().tableView->visualRect(c().tableView->model()->index(1, 0));
        QTest::mouseClick(c().tableView->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(c().nameField->text(), QString("Trip"));
        QCOMPARE(c().sizeField->text(), QString("320x240 Aspect: 1.3333"));
        QCOMPARE(c().lengthField->text(), QString("0:00:02"));
        QCOMPARE(c().standardField->text(), QString("PAL"));
        QCOMPARE(c().videoFormatField->text(), QString("DIVX-5"));
        QCOMPARE(c().audioFormatField->text(), QString("MPEG Layer-3, Stereo, 44100 Hz"));
        QCOMPARE(c().fpsField->text(), QString("25"));
        QVERIFY(c().viewButton->isEnabled());
        QVERIFY(c().removeButton->isEnabled());

        // Below the last row: nothing selected.
        QTest::mouseClick(c().tableView->viewport(), Qt::LeftButton, {}, QPoint(20, second.bottom() + 40));
        QCOMPARE(c().selectedRow(), -1);
        QCOMPARE(c().nameField->text(), QString("No Video"));
        QVERIFY(!c().viewButton->isEnabled());
    }

    void removeTakesTheSelectedEntry() {
        const QStringList paths = {movie("a.mp4"), movie("b.mp4"), movie("c.mp4")};
        addAndWait(paths);
        c().selectRow(1);
        c().readSettings();
        QCOMPARE(c().nameField->text(), QString("b"));
        c().removeItem();
        QCOMPARE(names(c()), QStringList({paths[0], paths[2]}));
        QCOMPARE(c().tableView->model()->rowCount(), 2);
        // The panel shows whatever the table now has selected.
        const int row = c().selectedRow();
        QCOMPARE(c().nameField->text(),
                 row < 0 ? QString("No Video") : QFileInfo(paths[row == 0 ? 0 : 2]).baseName());
        c().tableView->clearSelection();
        c().removeItem();  // nothing selected: nothing happens
        QCOMPARE(c().objects().size(), 2u);
    }

    void dropsAreCheckedByTheirFirstFile() {
        const QString mov = movie("drop.mov", "mjpeg_ima4_2997.mov");
        const QString bin = files_.filePath("disc.bin");
        const QString txt = files_.filePath("notes.txt");
        const struct {
            QStringList files;
            bool offered;
            int added;
        } cases[] = {
            {{mov}, true, 1},
            {{txt, mov}, false, 0},
            {{bin}, true, 0},
            {{mov, txt}, true, 1},
            {{"https://example.org/a.mov"}, false, 0},
            {{}, false, 0},
        };
        for (const auto& d : cases) {
            const auto data = dragOf(d.files);
            const std::size_t before = c().objects().size();
            QCOMPARE(c().validateDrop(data.get()) == DragOperation::Link, d.offered);
            // The table hands a drop over whatever row it lands on.
            QAbstractItemModel* model = c().tableView->model();
            QCOMPARE(model->canDropMimeData(data.get(), Qt::CopyAction, 0, 0, {}), d.offered);
            // A refused drag is never dropped, except one without files, which the drop refuses too.
            if (d.offered || d.files.isEmpty()) {
                QCOMPARE(model->dropMimeData(data.get(), Qt::CopyAction, 0, 0, {}), d.offered);
                c().intake().finish();
            }
            QCOMPARE(c().objects().size() - before, std::size_t(d.added));
        }
        // Drops on row 0 still append at the end.
        QCOMPARE(QString::fromStdString(c().objects().back().name), mov);
        QCOMPARE(c().objects().size(), 2u);
        // No row is ever dragged out.
        QVERIFY(
            !(c().tableView->model()->flags(c().tableView->model()->index(0, 0)) & Qt::ItemIsDragEnabled));
    }

    void volumeComesBackFromTheLastRun() {
        QCOMPARE(AppController::floatValue(c().volumeSlider), 0.75f);  // the layout's own value
        // As an earlier version wrote it, through QSettings, among other keys.
        platform::setPersistentDomain({{"VolumeLevel", 0.25f}, {"Other", 3}}, platform::kPreferenceDomain);
        const QByteArray file = config_.filePath("reel/reel.ini").toUtf8();
        struct stat before {};
        QCOMPARE(::stat(file.constData(), &before), 0);
        c().applicationDidFinishLaunching();
        QTRY_COMPARE(AppController::floatValue(c().volumeSlider), 0.25f);
        // Restoring it writes nothing: the file is the one it was.
        ui_.reset();
        struct stat after {};
        QCOMPARE(::stat(file.constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    }

    void damagedFilesNeitherStopNorDisorderTheIntake() {
        // Good files, each followed by damaged copies of itself: cut short, bits flipped, renamed.
        const QStringList sources = {"h264_aac_23976.mp4", "mjpeg_ima4_2997.mov", "dx50_mp3.avi",
                                     "mpeg1_system.mpg",   "pal_ac3.vob",         "pal.dv",
                                     "elementary.mpv"};
        const QStringList extensions = {"mp4", "mov", "avi", "mpg", "vob", "dv", "mpv", "mpeg"};
        QRandomGenerator random(7);
        QStringList all, good;
        for (int round = 0; round < 5; ++round) {
            for (const QString& name : sources) {
                QFile in(media(name));
                QVERIFY(in.open(QIODevice::ReadOnly));
                const QByteArray bytes = in.readAll();
                const QString path = files_.filePath(QString("good-%1-%2").arg(round).arg(name));
                QFile::copy(media(name), path);
                all << path;
                good << path;
                for (int copy = 0; copy < 8; ++copy) {
                    QByteArray broken = bytes;
                    if (copy % 2 == 0) broken.truncate(int(random.bounded(qint64(bytes.size()))));
                    for (int flips = int(random.bounded(40)); flips-- > 0 && !broken.isEmpty();)
                        broken[int(random.bounded(broken.size()))] ^= char(1 << random.bounded(8));
                    const QString ext = extensions[int(random.bounded(extensions.size()))];
                    const QString brokenPath =
                        files_.filePath(QString("bad-%1-%2-%3.%4").arg(round).arg(copy).arg(name, ext));
                    QFile out(brokenPath);
                    QVERIFY(out.open(QIODevice::WriteOnly));
                    out.write(broken);
                    all << brokenPath;
                }
            }
        }
        addAndWait(all);
        QCOMPARE(all.size(), 315);
        const QStringList added = names(c());
        QVERIFY(added.size() >= good.size() && added.size() <= all.size());
        // Every good file is there, in the order given.
        int at = 0;
        for (const QString& name : added) {
            if (at < good.size() && name == good[at]) ++at;
        }
        QCOMPARE(at, good.size());
        for (int i = 1; i < added.size(); ++i) QVERIFY(all.indexOf(added[i - 1]) < all.indexOf(added[i]));
        // And the window still answers.
        c().selectRow(0);
        c().readSettings();
        QCOMPARE(c().nameField->text(), QFileInfo(good[0]).completeBaseName());
    }

    // A name with a stray byte and a line break comes in by every door with
    // its bytes intact, and shows with U+FFFD for the stray byte.
    void namesThatAreNotUtf8ComeInByEveryDoor() {
        const std::string oddName = "odd\xff\nname.mp4";
        const std::string odd = files_.path().toStdString() + "/" + oddName;
        std::filesystem::copy_file(media("mpeg4_mp3.mp4").toStdString(), odd);
        // QTemporaryDir cannot name it to remove it.
        const auto removeOdd = qScopeGuard([&] { std::filesystem::remove(odd); });
        const QString shownName = QString("odd%1\nname.mp4").arg(QChar(QChar::ReplacementCharacter));

        // The command line: bytes, relative to the working folder.
        QVERIFY(QDir::setCurrent(files_.path()));
        c().addFiles({oddName});
        c().intake().finish();
        // A drop: a file URL whose escapes are not UTF-8.
        const QByteArray escaped = QByteArray::fromStdString(odd).toPercentEncoding("/");
        const auto drop = dragOf({"file://" + QString::fromLatin1(escaped)});
        QCOMPARE(c().validateDrop(drop.get()), DragOperation::Link);
        QVERIFY(c().acceptDrop(drop.get()));
        c().intake().finish();
        // Qt's own dialog does not list such a name (it looks up the text it
        // shows, which names no file); a dialog that does hands back a URL.
        c().openPanelDidEnd(std::vector<std::string>{odd}, 1);
        c().intake().finish();

        QCOMPARE(c().objects().size(), 3u);
        for (const EntryRecord& e : c().objects()) {
            QCOMPARE(e.name, odd);
            QCOMPARE(e.type, std::string("MPEG-4"));
        }
        QCOMPARE(c().tableView->model()->index(2, 0).data().toString(), files_.filePath(shownName));
        c().selectRow(2);
        c().readSettings();
        QCOMPARE(c().nameField->text(), QFileInfo(shownName).completeBaseName());
    }

    void theDialogAddsWhatIsChosen() {
        const QString chosen = movie("50% #1 é.mp4");
        ui_->playlistWindow().show();
        c().addItem();
        auto* panel = ui_->playlistWindow().findChild<QFileDialog*>();
        QVERIFY(panel);
        panel->setDirectory(files_.path());
        // The dialog lists the folder as it reads it, and offers OK for a listed file.
        auto* listing = panel->findChild<QFileSystemModel*>();
        QVERIFY(listing);
        QTRY_VERIFY(listing->index(chosen).isValid());
        panel->selectFile(chosen);
        auto* buttons = panel->findChild<QDialogButtonBox*>();
        QVERIFY(buttons && buttons->button(QDialogButtonBox::Open));
        QTRY_VERIFY(buttons->button(QDialogButtonBox::Open)->isEnabled());
        buttons->button(QDialogButtonBox::Open)->click();
        c().intake().finish();
        QCOMPARE(names(c()), QStringList{chosen});
    }

    void longListsShowProgressAndCanBeCancelled() {
        // 10 ms a file: 300 files would take 3 s.
        const MovieOpener slow = [](const std::string&, std::string*) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return std::make_unique<CLMovie>(fake::movie({fake::video({})}));
        };
        int added = 0;
        QWidget window;
        PlaylistIntake intake(slow, [&](EntryRecord) { ++added; });
        intake.setProgressParent(&window);
        std::vector<std::string> paths;
        for (int i = 0; i < 300; ++i) paths.push_back("/m/" + std::to_string(i) + ".mov");
        intake.add(paths);
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QProgressDialog*>() != nullptr, 2000);
        QVERIFY(added > 0);
        QPushButton* cancel = window.findChild<QProgressDialog*>()->findChild<QPushButton*>();
        QVERIFY(cancel);
        cancel->click();
        QTRY_VERIFY(!intake.busy());
        const int kept = added;
        QVERIFY2(kept > 0 && kept < 300, qPrintable(QString::number(kept)));
        QTest::qWait(50);
        QCOMPARE(added, kept);
    }

    // Return and Space reach the progress dialog as a user types them: at its
    // focused control. Neither may stop the add; Escape does, and says so.
    void onlyEscapeOrAClickCancelsAnAdd() {
        const MovieOpener slow = [](const std::string&, std::string*) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return std::make_unique<CLMovie>(fake::movie({fake::video({})}));
        };
        QStringList log;
        platform::setLogSink(
            [&](std::string_view line) { log << QString::fromUtf8(line.data(), line.size()); });
        int added = 0;
        QWidget window;
        window.show();
        PlaylistIntake intake(slow, [&](EntryRecord) { ++added; });
        intake.setProgressParent(&window);
        std::vector<std::string> paths;
        for (int i = 0; i < 600; ++i) paths.push_back("/m/" + std::to_string(i) + ".mov");
        const auto press = [&](Qt::Key key) {
            auto* dialog = window.findChild<QProgressDialog*>();
            QVERIFY(dialog);
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QWidget* focused = QApplication::focusWidget();
            QTest::keyClick(focused && dialog->isAncestorOf(focused) ? focused : dialog, key);
        };

        intake.add(paths);
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QProgressDialog*>() != nullptr, 2000);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter, Qt::Key_Return, Qt::Key_Space}) {
            press(key);
            QVERIFY2(intake.busy(), "a key stopped the add");
        }
        QTRY_VERIFY_WITH_TIMEOUT(!intake.busy(), 20000);
        QCOMPARE(added, 600);
        QVERIFY2(log.filter("left out").isEmpty(), qPrintable(log.join('\n')));

        added = 0;
        intake.add(paths);
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QProgressDialog*>() != nullptr, 2000);
        press(Qt::Key_Escape);
        QTRY_VERIFY(!intake.busy());
        QVERIFY2(added > 0 && added < 600, qPrintable(QString::number(added)));
        const QStringList said = log.filter("left out");
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(QString("%1 of 600").arg(600 - added)), qPrintable(said[0]));
        platform::setLogSink({});
    }
};

QTEST_MAIN(PlaylistWindowTest)
#include "test_playlist_window.moc"
