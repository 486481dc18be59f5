// Playlist files opened, saved and moved, lines that cannot be viewed greyed; the playlist reordered.

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

#include "app/playlist_intake.h"
#include "app/playlist_model.h"
#include "app/playlist_table.h"
#include "support/fake_movie_view.h"
#include "support/log_recorder.h"
#include "support/media.h"
#include "support/qt_support.h"

using namespace reel;

class PlaylistFilesTest : public test::FakeViewTest {
    Q_OBJECT

private:
    QString loaded() { return QString::fromStdString(view().loaded.back()); }
    QAbstractItemModel* model() { return ui().tableView->model(); }
    QString path(const QString& name) { return files_.filePath(name); }
    void write(const QString& name, const QByteArray& text) {
        test::spit(path(name).toStdString(), text.toStdString());
    }
    QStringList problems() {
        QStringList list;
        for (const EntryRecord& e : c().objects()) list << QString::fromStdString(e.problem);
        return list;
    }
    // The entries' base names run together: "abc".
    QString order() {
        QString text;
        for (const QString& name : names()) text += QFileInfo(name).baseName();
        return text;
    }

private slots:
    void init() {
        QDir(files_.path()).removeRecursively();
        QDir().mkpath(files_.path() + "/sub");
        relaunch();
    }

    void savedReopenedElsewhereAndWhatCannotBeViewedPassedOver() {
        const QString a = copy("a.mp4"), b = copy("sub/b.avi", "dx50_mp3.avi");
        write("broken.mp4", "not a movie at all");
        write("given.m3u8",
              "#EXTM3U\n#EXTINF:99,Gone Movie\ngone.mp4\nhttp://example.org/s.mp4\nbroken.mp4\n");
        add({a, path("given.m3u8"), b});
        QCOMPARE(names(),
                 (QStringList{a, path("gone.mp4"), "http://example.org/s.mp4", path("broken.mp4"), b}));
        QStringList why = problems();
        QVERIFY(!why[3].isEmpty() && why[3] != "File not found");  // not described: why it could not be
        why[3] = "-";
        QCOMPARE(why, (QStringList{"", "File not found", "not a local file", "-", ""}));

        QVERIFY(c().savePlaylistFile(path("all.m3u8")));
        QCOMPARE(test::slurp(path("all.m3u8").toStdString()),
                 "#EXTM3U\n#EXTINF:2,a\na.mp4\n#EXTINF:99,Gone Movie\ngone.mp4\n#EXTINF:-1,s\n"
                 "http://example.org/s.mp4\n#EXTINF:-1,broken\nbroken.mp4\n#EXTINF:2,b\nsub/b.avi\n");

        // The whole folder moves: the playlist finds its movies in the new place.
        QTemporaryDir elsewhere;
        QDir().mkpath(elsewhere.filePath("sub"));
        for (const QString name : {"a.mp4", "sub/b.avi", "all.m3u8", "broken.mp4"})
            QVERIFY(QFile::copy(path(name), elsewhere.filePath(name)));
        QStringList moved = names();
        moved.replaceInStrings(files_.path(), elsewhere.path());
        open(elsewhere.filePath("all.m3u8"));
        QCOMPARE(names(), moved);
        QCOMPARE(c().objects()[1].title, std::string("Gone Movie"));

        // The panel says why, and the row is greyed.
        c().selectRow(1);
        c().showSelectedEntryInfo();
        QCOMPARE(ui().videoFormatField->text(), QString("File not found"));
        QVERIFY(model()->index(1, 0).data(Qt::ForegroundRole).isValid());
        QVERIFY(!model()->index(0, 0).data(Qt::ForegroundRole).isValid());
        // View on a greyed entry goes on to the next that can be viewed; so does the advance.
        c().viewItem();
        QCOMPARE(loaded(), moved[4]);
        viewRow(0);
        fake::playToEnd(view().clock);
        QTRY_COMPARE(c().selectedRow(), 4);
        QCOMPARE(loaded(), moved[4]);

        // The file turns up: viewing the entry brings it back to life.
        QVERIFY(QFile::copy(test::media("dx50_mp3.avi"), moved[1]));
        viewRow(1);
        QCOMPARE(loaded(), moved[1]);
        QCOMPARE(c().objects()[1].type, std::string("DIVX-5"));
        QVERIFY(!model()->index(1, 0).data(Qt::ForegroundRole).isValid());
    }

    void hostileAndSelfListingPlaylistsKeepTheRestAndDropsOfPlaylistsAppend() {
        const QString a = copy("a.mp4"), b = copy("b.mp4");
        QByteArray garbage(4 << 20, Qt::Uninitialized);
        for (qsizetype i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919) >> 3);
        write("garbage.m3u", garbage);
        QByteArray lines = "\xEF\xBB\xBF#EXTM3U\r\n";
        for (int i = 0; i < 2000; ++i)
            lines += "#EXTINF:1,t\xE9l\xE9\r\nmissing-" + QByteArray::number(i) + ".mp4\r\n";
        lines += QByteArray(10000, 'x') + ".mp4\r\na.mp4\r\n";
        write("hostile.m3u8", lines);
        test::LogRecorder log;
        add({path("garbage.m3u"), path("hostile.m3u8")});
        QCOMPARE(c().objects().size(), 2002u);
        QCOMPARE(c().objects()[0].title, std::string("t\u00e9l\u00e9"));
        QCOMPARE(c().objects()[2000].problem, std::string("name too long"));
        QCOMPARE(names().last(), a);
        QCOMPARE(problems().last(), QString());

        write("outer.m3u8", "a.mp4\ninner.pls\nouter.m3u8\n");
        write("inner.pls", "[playlist]\nFile1=b.mp4\nFile2=outer.m3u8\nFile3=missing.xspf\n");
        open(path("outer.m3u8"));
        QCOMPARE(names(), (QStringList{a, b, path("outer.m3u8"), path("missing.xspf"), path("outer.m3u8")}));
        const QStringList why = problems();
        QVERIFY2(why[0].isEmpty() && why[1].isEmpty() && why[2].contains("lists itself") &&
                     why[3] == "File not found" && why[4].contains("lists itself"),
                 qPrintable(why.join('|')));
        for (const char* said : {"garbage.m3u\": binary data", "Latin-1", "longer than any file name",
                                 "outer.m3u8\": lists itself"})
            QVERIFY2(log.count(said) >= 1, said);

        // A playlist dropped on the table appends its lines.
        write("drop.m3u8", "b.mp4\n");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path("drop.m3u8"))});
        QVERIFY(model()->canDropMimeData(&data, Qt::CopyAction, 0, 0, {}));
        QVERIFY(model()->dropMimeData(&data, Qt::CopyAction, 0, 0, {}));
        c().intake().finish();
        QCOMPARE(names().size(), 6);
        QCOMPARE(names().last(), b);
    }

    void reorderingMovesRowsAndKeepsTheViewedOne() {
        const struct {
            const char* what;
            std::vector<int> rows;
            int destination;
            QString expected;
        } cases[] = {
            {"last to the top", {4}, 0, "eabcd"},
            {"several, scattered, keep their order", {3, 0, 4}, 2, "badec"},
            {"onto itself or just after it: nothing", {2}, 3, "abcde"},
            {"one to the end, rows out of range ignored", {-1, 9, 1}, 99, "acdeb"},
            {"none", {}, 0, "abcde"},
        };
        for (const auto& test : cases) {
            relaunch();
            add({copy("a.mp4"), copy("b.mp4"), copy("c.mp4"), copy("d.mp4"), copy("e.mp4")});
            viewRow(1);
            c().moveEntries(test.rows, test.destination);
            QVERIFY2(order() == test.expected, test.what);
            // The selection, and with it the viewed entry, went with b; the advance follows the new order.
            const int b = int(test.expected.indexOf('b'));
            QCOMPARE(c().selectedRow(), b);
            fake::playToEnd(view().clock);
            if (b + 1 < 5) {
                QTRY_COMPARE(c().selectedRow(), b + 1);
                QCOMPARE(QFileInfo(loaded()).baseName(), test.expected.mid(b + 1, 1));
            }
        }
    }

    void altArrowsAndDragsMoveTheSelection() {
        add({copy("a.mp4"), copy("b.mp4"), copy("c.mp4"), copy("d.mp4")});
        interface().playlistWindow().show();
        QVERIFY(QTest::qWaitForWindowExposed(&interface().playlistWindow()));
        c().selectRow(0);
        QTest::keyClick(ui().tableView, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(order(), QString("bacd"));
        QCOMPARE(c().selectedRow(), 1);
        QTest::keyClick(ui().tableView, Qt::Key_Up, Qt::AltModifier);
        QTest::keyClick(ui().tableView, Qt::Key_Up, Qt::AltModifier);  // at the top already
        QCOMPARE(order(), QString("abcd"));
        // Two selected rows move together, and stop at the bottom.
        c().selectRow(1);
        ui().tableView->selectionModel()->select(model()->index(2, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
        for (int i = 0; i < 3; ++i) c().moveSelectionBy(1);
        QCOMPARE(order(), QString("adbc"));
        QCOMPARE(c().selectedRows(), (std::vector<int>{2, 3}));

        // A drag of rows within the table, dropped on a row, puts them before it; below the last, at the end.
        std::unique_ptr<QMimeData> dragged(model()->mimeData({model()->index(2, 0), model()->index(3, 0)}));
        QVERIFY(model()->canDropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model()->index(0, 0)));
        model()->dropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model()->index(0, 0));
        QCOMPARE(order(), QString("bcad"));
        dragged.reset(model()->mimeData({model()->index(0, 0)}));
        model()->dropMimeData(dragged.get(), Qt::MoveAction, -1, -1, {});
        QCOMPARE(order(), QString("cadb"));
        // Rows dragged from another Reel's table are not ours to move.
        QMimeData foreign;
        foreign.setData(kRowsMimeType, QByteArray::number(QCoreApplication::applicationPid() + 1) + ":0 1");
        QVERIFY(!model()->dropMimeData(&foreign, Qt::MoveAction, -1, -1, {}));
        QCOMPARE(order(), QString("cadb"));
    }
};

QTEST_MAIN(PlaylistFilesTest)
#include "test_playlist_files.moc"
