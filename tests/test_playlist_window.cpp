// The playlist window as a user meets it, on Qt's offscreen platform.

#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>
#include <QtTest>
#include <thread>

#include "app/playlist_intake.h"
#include "app/playlist_table.h"
#include "support/fake_toolbox.h"
#include "support/log_recorder.h"
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
    void openPanelAddsInOrderAndThePanelFollowsTheSelection() {
        const QString one = copy("one.mp4"), mpeg = copy("clip.MPEG", "mpeg1_system.mpg");
        const QString trip = copy("Trip.avi", "dx50_mp3.avi"), gone = files_.filePath("gone.mov");
        const QStringList chosen = {one, mpeg, copy("clip.mkv"), test::media("empty.mov"), trip, gone, one};
        interface().playlistWindow().show();
        click({20, 20});  // empty: a click on nothing keeps "No Video"
        expectPanel({"No Video"});

        add(chosen);
        QCOMPARE(names(), QStringList({one, mpeg, trip, one}));  // the same file twice is two entries
        QCOMPARE(model()->index(2, 0).data().toString(), trip);  // the table shows the full path
        expectPanel({"No Video"});                               // adding selects nothing
        click(ui().tableView->visualRect(model()->index(2, 0)).center());
        expectPanel({"Trip", "320x240 Aspect: 1.3333", "0:00:02", "PAL", "DIVX-5",
                     "MPEG Layer-3, Stereo, 44100 Hz", "25"});
        click({20, ui().tableView->visualRect(model()->index(3, 0)).bottom() + 40});  // below the last row
        QCOMPARE(c().selectedRow(), -1);
        expectPanel({"No Video"});
    }

    void removeTakesEverySelectedEntry() {
        const QString movie = copy("m.mp4");
        std::vector<PlaylistLine> lines;  // told apart by their titles
        for (int i = 0; i < 6; ++i) lines.push_back({movie, QString::number(i), -1});
        c().intake().addLines(lines);
        c().intake().finish();
        const auto left = [this] {
            QList<int> titles;
            for (const EntryRecord& e : c().objects()) titles << std::stoi(e.title);
            return titles;
        };
        c().removeItem();  // nothing selected: nothing happens
        QCOMPARE(left(), QList<int>({0, 1, 2, 3, 4, 5}));
        c().selectRow(1);
        c().showSelectedEntryInfo();
        // Runs at both ends, selected out of order.
        for (int row : {5, 0, 3, 4})
            ui().tableView->selectionModel()->select(model()->index(row, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        c().removeItem();
        QCOMPARE(left(), QList<int>({2}));
        QCOMPARE(model()->rowCount(), 1);
        QCOMPARE(c().selectedRow(), -1);
        QCOMPARE(ui().nameField->text(), QString("No Video"));
    }

    void dropsAreCheckedByTheirFirstFile() {
        const QString mov = copy("drop.mov", "mjpeg_ima4_2997.mov");
        const QString bin = files_.filePath("disc.bin"), txt = files_.filePath("notes.txt");
        const struct {
            QStringList files;
            bool offered;
            int added;
        } cases[] = {
            {{txt, mov}, false, 0}, {{bin}, true, 0},
            {{mov, txt}, true, 1},  {{"https://example.org/a.mov"}, false, 0},
            {{}, false, 0},
        };
        for (const auto& d : cases) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& f : d.files) urls << (f.contains("://") ? QUrl(f) : QUrl::fromLocalFile(f));
            data.setUrls(urls);
            const std::size_t before = c().objects().size();
            QCOMPARE(model()->canDropMimeData(&data, Qt::CopyAction, 0, 0, {}), d.offered);
            // A refused drag is never dropped, except one without files, which the drop refuses too.
            if (d.offered || d.files.isEmpty()) {
                QCOMPARE(model()->dropMimeData(&data, Qt::CopyAction, 0, 0, {}), d.offered);
                c().intake().finish();
            }
            QCOMPARE(c().objects().size() - before, std::size_t(d.added));
        }
    }

    // Return and Space at the dialog's focused control once cancelled adds without a word.
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
        const std::vector<std::string> paths(600, "/m/a.mov");
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

        for (int how : {0, 1, 2}) {  // keys a user types, a click on Cancel, Escape
            added = 0;
            log.take();
            intake.add(paths);
            QTRY_VERIFY_WITH_TIMEOUT(dialog(), 2000);
            if (how == 0)
                for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter}) {
                    press(key);
                    QVERIFY2(intake.busy(), "a key stopped the add");
                }
            if (how == 1) dialog()->findChild<QPushButton*>()->click();
            if (how == 2) press(Qt::Key_Escape);
            QTRY_VERIFY_WITH_TIMEOUT(!intake.busy(), 20000);
            const int kept = added;
            QCoreApplication::processEvents();  // a slice still scheduled adds nothing
            QCOMPARE(added, kept);
            QVERIFY2(how ? kept > 0 && kept < 600 : kept == 600, qPrintable(QString::number(kept)));
            QCOMPARE(log.count("left out"), how ? 1 : 0);
            if (how) QCOMPARE(log.count(std::to_string(600 - kept) + " of 600"), 1);
        }
    }
};

QTEST_MAIN(PlaylistWindowTest)
#include "test_playlist_window.moc"
