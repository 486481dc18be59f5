// The playlist window as a user meets it, on Qt's offscreen platform.

#include <QDialogButtonBox>
#include <QDir>
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
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <thread>

#include "app/playlist_intake.h"
#include "app/playlist_model.h"
#include "app/playlist_table.h"
#include "support/fake_toolbox.h"
#include "support/log_recorder.h"
#include "support/media.h"
#include "support/qt_support.h"

using namespace reel;

class PlaylistWindowTest : public test::InterfaceTest {
    Q_OBJECT

    QAbstractItemModel* model() { return ui().tableView->model(); }
    void click(QPoint at) { QTest::mouseClick(ui().tableView->viewport(), Qt::LeftButton, {}, at); }
    void expectPanel(const QStringList& texts) {
        QLabel* const fields[] = {ui().nameField,     ui().sizeField,        ui().lengthField,
                                  ui().standardField, ui().videoFormatField, ui().audioFormatField,
                                  ui().fpsField};
        for (int i = 0; i < int(std::size(fields)); ++i) QCOMPARE(fields[i]->text(), texts.value(i));
        QCOMPARE(ui().viewButton->isEnabled(), texts[0] != "No Video");
        QCOMPARE(ui().removeButton->isEnabled(), texts[0] != "No Video");
    }

private slots:
    void openPanelAddsInOrderAndSkipsWhatItCannot() {
        const QString one = copy("one.mp4");
        const QStringList chosen = {one,
                                    copy("clip.MPEG", "mpeg1_system.mpg"),
                                    copy("clip.mkv"),
                                    test::media("empty.mov"),
                                    copy("Trip.avi", "dx50_mp3.avi"),
                                    files_.filePath("gone.mov"),
                                    one};
        c().openPanelDidEnd(chosen, false);  // cancelled
        c().intake().finish();
        QCOMPARE(c().objects().size(), 0u);

        add(chosen);
        QCOMPARE(names(), QStringList({chosen[0], chosen[1], chosen[4], chosen[6]}));
        QCOMPARE(model()->rowCount(), 4);
        QCOMPARE(c().objects()[0], c().objects()[3]);  // the same file twice is two entries
        QCOMPARE(c().objects()[1].type, std::string("MPEG-1"));
        QCOMPARE(c().objects()[1].audioType, std::string("MPEG1 Muxed"));
        QCOMPARE(model()->index(2, 0).data().toString(), chosen[4]);  // the table shows the full path
        expectPanel({"No Video"});                                    // adding selects nothing
    }

    void panelFollowsTheSelection() {
        interface().playlistWindow().show();
        click({20, 20});  // empty: a click on nothing keeps "No Video"
        expectPanel({"No Video"});
        add({copy("one.mp4"), copy("Trip.avi", "dx50_mp3.avi")});
        const QRect second = ui().tableView->visualRect(model()->index(1, 0));
        click(second.center());
        QCOMPARE(c().selectedRow(), 1);
        expectPanel({"Trip", "320x240 Aspect: 1.3333", "0:00:02", "PAL", "DIVX-5",
                     "MPEG Layer-3, Stereo, 44100 Hz", "25"});
        click({20, second.bottom() + 40});  // below the last row: nothing selected
        QCOMPARE(c().selectedRow(), -1);
        expectPanel({"No Video"});
    }

    void removeTakesEverySelectedEntry() {
        const QString movie = copy("m.mp4");
        const struct {
            std::vector<int> selected;
            QList<int> left;
        } cases[] = {
            {{0, 1, 2, 3, 4, 5}, {}},  // all of them
            {{1, 3, 5}, {0, 2, 4}},    // every other one
            {{0, 1, 4, 5}, {2, 3}},    // two runs, at both ends
            {{5, 2, 3}, {0, 1, 4}},    // selected out of order
            {{2}, {0, 1, 3, 4, 5}},    // one alone
            {{}, {0, 1, 2, 3, 4, 5}},  // nothing selected: nothing happens
        };
        for (const auto& test : cases) {
            relaunch();
            // Titles tell the entries apart; the file is the same.
            std::vector<PlaylistLine> lines;
            for (int i = 0; i < 6; ++i) lines.push_back({movie, QString::number(i), -1});
            c().intake().addLines(lines);
            c().intake().finish();
            c().selectRow(0);
            c().showSelectedEntryInfo();
            QItemSelectionModel* selection = ui().tableView->selectionModel();
            selection->clearSelection();
            for (int row : test.selected)
                selection->select(model()->index(row, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
            c().removeItem();
            QList<int> left;
            for (const EntryRecord& e : c().objects()) left << std::stoi(e.title);
            QCOMPARE(left, test.left);
            QCOMPARE(model()->rowCount(), test.left.size());
            QCOMPARE(c().selectedRow(), -1);
            QCOMPARE(ui().nameField->text(), QString("No Video"));
        }
    }

    void dropsAreCheckedByTheirFirstFile() {
        const QString mov = copy("drop.mov", "mjpeg_ima4_2997.mov");
        const QString bin = files_.filePath("disc.bin"), txt = files_.filePath("notes.txt");
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
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& f : d.files) urls << (f.contains("://") ? QUrl(f) : QUrl::fromLocalFile(f));
            data.setUrls(urls);
            const std::size_t before = c().objects().size();
            QCOMPARE(validateDrop(&data) == DragOperation::Link, d.offered);
            // The table hands a drop over whatever row it lands on.
            QCOMPARE(model()->canDropMimeData(&data, Qt::CopyAction, 0, 0, {}), d.offered);
            // A refused drag is never dropped, except one without files, which the drop refuses too.
            if (d.offered || d.files.isEmpty()) {
                QCOMPARE(model()->dropMimeData(&data, Qt::CopyAction, 0, 0, {}), d.offered);
                c().intake().finish();
            }
            QCOMPARE(c().objects().size() - before, std::size_t(d.added));
        }
        QCOMPARE(names(), QStringList({mov, mov}));  // drops on row 0 still append at the end
        // Rows are dragged only within the table: what a drag of them carries names no file.
        const std::unique_ptr<QMimeData> rows(model()->mimeData({model()->index(0, 0)}));
        QVERIFY(!rows->hasUrls() && !rows->hasText());
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
                const QByteArray bytes =
                    QByteArray::fromStdString(test::slurp(test::media(name).toStdString()));
                QVERIFY(!bytes.isEmpty());
                all << copy(QString("good-%1-%2").arg(round).arg(name), name);
                good << all.back();
                for (int copy = 0; copy < 8; ++copy) {
                    QByteArray broken = bytes;
                    if (copy % 2 == 0) broken.truncate(int(random.bounded(qint64(bytes.size()))));
                    for (int flips = int(random.bounded(40)); flips-- > 0 && !broken.isEmpty();)
                        broken[int(random.bounded(broken.size()))] ^= char(1 << random.bounded(8));
                    const QString ext = extensions[int(random.bounded(extensions.size()))];
                    all << files_.filePath(QString("bad-%1-%2-%3.%4").arg(round).arg(copy).arg(name, ext));
                    test::spit(all.back().toStdString(), broken.toStdString());
                }
            }
        }
        add(all);
        const QStringList added = names();
        // Every good file is there, in the order given.
        int at = 0;
        for (const QString& name : added) at += at < good.size() && name == good[at];
        QCOMPARE(at, good.size());
        for (int i = 1; i < added.size(); ++i) QVERIFY(all.indexOf(added[i - 1]) < all.indexOf(added[i]));
        // And the window still answers.
        c().selectRow(0);
        c().showSelectedEntryInfo();
        QCOMPARE(ui().nameField->text(), QFileInfo(good[0]).completeBaseName());
    }

    // A name with a stray byte and a line break comes in by every door with
    // its bytes intact, and shows with U+FFFD for the stray byte.
    void namesThatAreNotUtf8ComeInByEveryDoor() {
        const std::string oddName = "odd\xff\nname.mp4";
        const std::string odd = files_.path().toStdString() + "/" + oddName;
        std::filesystem::copy_file(test::media("mpeg4_mp3.mp4").toStdString(), odd);
        // QTemporaryDir cannot name it to remove it.
        const auto removeOdd = qScopeGuard([&] { std::filesystem::remove(odd); });
        const QString shownName = QString("odd%1\nname.mp4").arg(QChar(QChar::ReplacementCharacter));

        // The command line: bytes, relative to the working folder.
        QVERIFY(QDir::setCurrent(files_.path()));
        c().addFiles({oddName});
        c().intake().finish();
        // A drop: a file URL whose escapes are not UTF-8.
        const QByteArray escaped = QByteArray::fromStdString(odd).toPercentEncoding("/");
        QMimeData drop;
        drop.setUrls({QUrl("file://" + QString::fromLatin1(escaped))});
        QCOMPARE(validateDrop(&drop), DragOperation::Link);
        QVERIFY(model()->dropMimeData(&drop, Qt::CopyAction, 0, 0, {}));
        c().intake().finish();
        // Qt's own dialog does not list such a name (it looks up the text it
        // shows, which names no file); a dialog that does hands back a URL.
        c().openPanelDidEnd(std::vector<std::string>{odd}, true);
        c().intake().finish();

        QCOMPARE(c().objects().size(), 3u);
        for (const EntryRecord& e : c().objects()) {
            QCOMPARE(e.name, odd);
            QCOMPARE(e.type, std::string("MPEG-4"));
        }
        QCOMPARE(model()->index(2, 0).data().toString(), files_.filePath(shownName));
        c().selectRow(2);
        c().showSelectedEntryInfo();
        QCOMPARE(ui().nameField->text(), QFileInfo(shownName).completeBaseName());
    }

    void theDialogAddsWhatIsChosen() {
        const QString chosen = copy("50% #1 é.mp4");
        interface().playlistWindow().show();
        c().addItem();
        auto* panel = interface().playlistWindow().findChild<QFileDialog*>();
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
        QCOMPARE(names(), QStringList{chosen});
    }

    // Return and Space reach the progress dialog as a user types them: at its
    // focused control. Neither may stop the add; a click on Cancel or Escape
    // does, and says how many files were left out.
    void onlyEscapeOrAClickCancelsAnAdd() {
        const MovieOpener slow = [](const std::string&, std::string*) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return std::make_unique<CLMovie>(fake::movie({fake::video({})}));
        };
        test::LogRecorder log;
        int added = 0;
        QWidget window;
        window.show();
        PlaylistIntake intake(slow, [&](EntryRecord) { ++added; });
        intake.setProgressParent(&window);
        std::vector<std::string> paths;
        for (int i = 0; i < 600; ++i) paths.push_back("/m/" + std::to_string(i) + ".mov");
        // The dialog of the add under way: one that is shown.
        const auto dialog = [&]() -> QProgressDialog* {
            for (QProgressDialog* shown : window.findChildren<QProgressDialog*>())
                if (shown->isVisible()) return shown;
            return nullptr;
        };
        const auto press = [&](Qt::Key key) {
            dialog()->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog()));
            QWidget* focused = QApplication::focusWidget();
            QTest::keyClick(focused && dialog()->isAncestorOf(focused) ? focused : dialog(), key);
        };

        intake.add(paths);
        QTRY_VERIFY_WITH_TIMEOUT(dialog(), 2000);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter, Qt::Key_Return, Qt::Key_Space}) {
            press(key);
            QVERIFY2(intake.busy(), "a key stopped the add");
        }
        QTRY_VERIFY_WITH_TIMEOUT(!intake.busy(), 20000);
        QCOMPARE(added, 600);
        QCOMPARE(log.count("left out"), 0);

        for (bool click : {true, false}) {
            added = 0;
            log.take();
            intake.add(paths);
            QTRY_VERIFY_WITH_TIMEOUT(dialog(), 2000);
            if (click)
                dialog()->findChild<QPushButton*>()->click();
            else
                press(Qt::Key_Escape);
            QTRY_VERIFY(!intake.busy());
            const int kept = added;
            QVERIFY2(kept > 0 && kept < 600, qPrintable(QString::number(kept)));
            QCoreApplication::processEvents();  // a slice still scheduled adds nothing
            QCOMPARE(added, kept);
            QCOMPARE(log.count("left out"), 1);
            QCOMPARE(log.count(std::to_string(600 - kept) + " of 600"), 1);
        }
    }
};

QTEST_MAIN(PlaylistWindowTest)
#include "test_playlist_window.moc"
