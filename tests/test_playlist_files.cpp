// Playlist files as the player meets them: opened, saved, moved to another
// folder, lines that cannot be viewed kept greyed and passed over.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <thread>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "app/playlist_model.h"
#include "app/playlist_table.h"
#include "media/playlist_file.h"
#include "platform/log.h"
#include "support/fake_movie_view.h"

using namespace reel;

namespace {

QString media(const QString& name) { return qEnvironmentVariable("REEL_TEST_MEDIA") + "/" + name; }

void writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

}  // namespace

class PlaylistFilesTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    std::unique_ptr<QTemporaryDir> files_;
    std::unique_ptr<Interface> ui_;
    fake::MovieView* view_ = nullptr;
    QStringList logged_;

    AppController& c() { return ui_->controller(); }

    QString movie(const QString& name, const QString& from = "mpeg4_mp3.mp4") {
        const QString path = files_->filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        QFile::copy(media(from), path);
        return path;
    }
    QStringList names() const {
        QStringList list;
        for (const EntryRecord& e : ui_->controller().objects()) list << QString::fromStdString(e.name);
        return list;
    }
    QStringList problems() const {
        QStringList list;
        for (const EntryRecord& e : ui_->controller().objects()) list << QString::fromStdString(e.problem);
        return list;
    }
    void open(const QString& playlist) {
        c().openPlaylistFile(playlist);
        c().intake().finish();
    }
    void endMovie() {
        std::thread([clock = view_->clock] { clock->setAtStop(true); }).join();
    }
    bool wasLogged(const QString& what) const {
        for (const QString& line : logged_) {
            if (line.contains(what)) return true;
        }
        return false;
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        platform::setLogSink([this](std::string_view line) { logged_ << QString::fromUtf8(line); });
    }
    void cleanupTestCase() { platform::setLogSink({}); }
    void init() {
        files_ = std::make_unique<QTemporaryDir>();
        logged_.clear();
        view_ = nullptr;
        ui_ = std::make_unique<Interface>([this] {
            auto made = std::make_unique<fake::MovieView>();
            view_ = made.get();
            return made;
        });
    }
    void cleanup() { ui_.reset(); }

    void savedAndReopenedInAnotherFolder() {
        const QString a = movie("a.mp4"), b = movie("sub/b.avi", "dx50_mp3.avi");
        writeText(files_->filePath("given.m3u8"),
                  "#EXTM3U\n#EXTINF:99,Gone Movie\ngone.mp4\nhttp://example.org/s.mp4\nnotes.txt\n");
        c().addFiles({a, files_->filePath("given.m3u8"), b});
        c().intake().finish();
        QCOMPARE(names(), (QStringList{a, files_->filePath("gone.mp4"), "http://example.org/s.mp4",
                                       files_->filePath("notes.txt"), b}));
        QCOMPARE(problems(), (QStringList{"", "File not found", "not a local file", "File not found", ""}));

        const QString saved = files_->filePath("all.m3u8");
        QVERIFY(c().savePlaylistFile(saved));
        QFile text(saved);
        QVERIFY(text.open(QIODevice::ReadOnly));
        QCOMPARE(text.readAll(),
                 QByteArray("#EXTM3U\n#EXTINF:2,a\na.mp4\n#EXTINF:99,Gone Movie\ngone.mp4\n"
                            "#EXTINF:-1,s\nhttp://example.org/s.mp4\n#EXTINF:-1,notes\nnotes.txt\n"
                            "#EXTINF:2,b\nsub/b.avi\n"));

        // The whole folder moves: the playlist finds its movies in the new place.
        QTemporaryDir elsewhere;
        for (const QString name : {"a.mp4", "sub/b.avi", "all.m3u8"}) {
            QDir().mkpath(QFileInfo(elsewhere.filePath(name)).absolutePath());
            QVERIFY(QFile::copy(files_->filePath(name), elsewhere.filePath(name)));
        }
        open(elsewhere.filePath("all.m3u8"));
        QCOMPARE(names(), (QStringList{elsewhere.filePath("a.mp4"), elsewhere.filePath("gone.mp4"),
                                       "http://example.org/s.mp4", elsewhere.filePath("notes.txt"),
                                       elsewhere.filePath("sub/b.avi")}));
        QCOMPARE(c().objects()[0].length, std::string("0:00:02"));
        QCOMPARE(c().objects()[1].title, std::string("Gone Movie"));
        QCOMPARE(c().objects()[1].length, std::string("0:01:39"));
        // Saved again in several formats, no line is lost.
        for (const QString name : {"again.xspf", "again.pls", "again.m3u"}) {
            QVERIFY(c().savePlaylistFile(elsewhere.filePath(name)));
            QCOMPARE(readPlaylistFile(elsewhere.filePath(name)).lines.size(), 5u);
        }
        // Opening a playlist replaces the list; it is not added to.
        open(elsewhere.filePath("again.xspf"));
        QCOMPARE(c().objects().size(), 5u);
        QCOMPARE(problems()[1], QString("File not found"));
    }

    void greyedEntriesArePassedOverAndComeBack() {
        const QString a = movie("a.mp4"), c3 = movie("c.mp4");
        writeText(files_->filePath("list.m3u"), "a.mp4\nb.mp4\nbroken.mp4\nc.mp4\n");
        writeText(files_->filePath("broken.mp4"), "not a movie at all");
        open(files_->filePath("list.m3u"));
        QCOMPARE(c().objects().size(), 4u);
        QVERIFY(!c().objects()[2].problem.empty());
        QVERIFY(c().objects()[2].problem != "File not found");

        // The panel says why.
        c().selectRow(1);
        c().showSelectedEntryInfo();
        QCOMPARE(c().outlets().videoFormatField->text(), QString("File not found"));
        QVERIFY(c().outlets().tableView->model()->index(1, 0).data(Qt::ForegroundRole).isValid());
        QVERIFY(!c().outlets().tableView->model()->index(0, 0).data(Qt::ForegroundRole).isValid());

        // View on a greyed entry goes on to the next that can be viewed.
        c().viewItem();
        QCOMPARE(c().selectedRow(), 3);
        QCOMPARE(view_->loaded.back(), c3.toStdString());

        // The advance passes over both greyed entries.
        c().selectRow(0);
        c().showSelectedEntryInfo();
        c().viewItem();
        QCOMPARE(view_->loaded.back(), a.toStdString());
        endMovie();
        QTRY_COMPARE(c().selectedRow(), 3);
        QCOMPARE(view_->loaded.back(), c3.toStdString());

        // The file turns up: viewing the entry brings it back to life.
        const QString b = movie("b.mp4", "dx50_mp3.avi");
        c().selectRow(1);
        c().showSelectedEntryInfo();
        c().viewItem();
        QCOMPARE(c().selectedRow(), 1);
        QCOMPARE(view_->loaded.back(), b.toStdString());
        QCOMPARE(c().objects()[1].problem, std::string());
        QCOMPARE(c().objects()[1].type, std::string("DIVX-5"));
        QVERIFY(!c().outlets().tableView->model()->index(1, 0).data(Qt::ForegroundRole).isValid());

        // An entry that looked viewable but whose file went is stopped at, told, and nothing breaks.
        QFile::remove(c3);
        c().selectRow(2);
        c().showSelectedEntryInfo();
        c().viewItem();
        QCOMPARE(c().selectedRow(), 3);
        QVERIFY(!view_->movie());
        QVERIFY(wasLogged("cannot view \"" + c3 + "\""));
    }

    void playlistsThatNestThemselves() {
        const QString a = movie("a.mp4"), b = movie("b.mp4");
        writeText(files_->filePath("outer.m3u8"), "a.mp4\ninner.pls\nouter.m3u8\n");
        writeText(files_->filePath("inner.pls"),
                  "[playlist]\nFile1=b.mp4\nFile2=outer.m3u8\nFile3=missing.xspf\n");
        open(files_->filePath("outer.m3u8"));
        QCOMPARE(names(), (QStringList{a, b, files_->filePath("outer.m3u8"), files_->filePath("missing.xspf"),
                                       files_->filePath("outer.m3u8")}));
        QCOMPARE(problems()[0], QString());
        QCOMPARE(problems()[1], QString());
        QVERIFY(problems()[2].contains("lists itself"));
        QCOMPARE(problems()[3], QString("File not found"));
        QVERIFY(problems()[4].contains("lists itself"));
        QVERIFY(wasLogged("outer.m3u8\": lists itself"));
    }

    void hostilePlaylistsAreReportedAndTheRestKept() {
        const QString a = movie("a.mp4");
        QByteArray garbage(4 << 20, Qt::Uninitialized);
        for (qsizetype i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919) >> 3);
        writeText(files_->filePath("garbage.m3u"), garbage);
        QByteArray lines = "\xEF\xBB\xBF#EXTM3U\r\n";
        for (int i = 0; i < 2000; ++i)
            lines += "#EXTINF:1,t\xE9l\xE9\r\nmissing-" + QByteArray::number(i) + ".mp4\r\n";
        lines += QByteArray(10000, 'x') + ".mp4\r\na.mp4\r\n";
        writeText(files_->filePath("hostile.m3u8"), lines);

        c().addFiles({files_->filePath("garbage.m3u"), files_->filePath("hostile.m3u8")});
        c().intake().finish();
        QVERIFY(wasLogged("garbage.m3u\": binary data, not a playlist"));
        QVERIFY(wasLogged("not UTF-8; read as Latin-1"));
        QVERIFY(wasLogged("longer than any file name"));
        QCOMPARE(c().objects().size(), 2002u);
        QCOMPARE(c().objects()[0].title, std::string("t\u00e9l\u00e9"));
        QCOMPARE(c().objects()[2000].problem, std::string("name too long"));
        QCOMPARE(names().last(), a);
        QCOMPARE(problems().last(), QString());
    }

    void reorderingMovesRowsAndKeepsTheViewedOne_data() {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("destination");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one down") << QList<int>{0} << 2 << "bacde";
        QTest::newRow("one to the end") << QList<int>{1} << 5 << "acdeb";
        QTest::newRow("last to the top") << QList<int>{4} << 0 << "eabcd";
        QTest::newRow("several, scattered, keep their order") << QList<int>{3, 0, 4} << 2 << "badec";
        QTest::newRow("onto itself: nothing") << QList<int>{2} << 2 << "abcde";
        QTest::newRow("just after itself: nothing") << QList<int>{2} << 3 << "abcde";
        QTest::newRow("out of range ignored") << QList<int>{-1, 9, 1} << 99 << "acdeb";
        QTest::newRow("none") << QList<int>{} << 0 << "abcde";
    }
    void reorderingMovesRowsAndKeepsTheViewedOne() {
        QFETCH(QList<int>, rows);
        QFETCH(int, destination);
        QFETCH(QString, expected);
        QStringList paths;
        for (const QString name : {"a", "b", "c", "d", "e"}) paths << movie(name + ".mp4");
        c().addFiles(paths);
        c().intake().finish();
        c().selectRow(1);  // b is viewed
        c().showSelectedEntryInfo();
        c().viewItem();
        c().moveEntries(std::vector<int>(rows.begin(), rows.end()), destination);
        QString order;
        for (const QString& name : names()) order += QFileInfo(name).baseName();
        QCOMPARE(order, expected);
        QCOMPARE(c().outlets().tableView->model()->index(0, 0).data().toString(),
                 files_->filePath(expected.left(1) + ".mp4"));
        // The selection, and with it the viewed entry, went with b.
        QCOMPARE(c().selectedRow(), int(expected.indexOf('b')));
        QCOMPARE(c().outlets().nameField->text(), QString("b"));
        // The advance follows the new order.
        endMovie();
        const int next = int(expected.indexOf('b')) + 1;
        if (next < 5) {
            QTRY_COMPARE(c().selectedRow(), next);
            QCOMPARE(QFileInfo(QString::fromStdString(view_->loaded.back())).baseName(),
                     expected.mid(next, 1));
        }
    }

    void altArrowsAndDragsMoveTheSelection() {
        QStringList paths;
        for (const QString name : {"a", "b", "c", "d"}) paths << movie(name + ".mp4");
        c().addFiles(paths);
        c().intake().finish();
        const auto order = [this] {
            QString text;
            for (const QString& name : names()) text += QFileInfo(name).baseName();
            return text;
        };
        ui_->playlistWindow().show();
        QVERIFY(QTest::qWaitForWindowExposed(&ui_->playlistWindow()));
        c().selectRow(0);
        QTest::keyClick(c().outlets().tableView, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(order(), QString("bacd"));
        QCOMPARE(c().selectedRow(), 1);
        QTest::keyClick(c().outlets().tableView, Qt::Key_Up, Qt::AltModifier);
        QTest::keyClick(c().outlets().tableView, Qt::Key_Up, Qt::AltModifier);  // at the top already
        QCOMPARE(order(), QString("abcd"));
        // Two selected rows move together, and stop at the bottom.
        c().selectRow(1);
        c().outlets().tableView->selectionModel()->select(
            c().outlets().tableView->model()->index(2, 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        for (int i = 0; i < 3; ++i) c().moveSelectionBy(1);
        QCOMPARE(order(), QString("adbc"));
        QCOMPARE(c().selectedRows(), (std::vector<int>{2, 3}));

        // A drag of rows within the table, dropped on a row, puts them before it.
        QAbstractItemModel* model = c().outlets().tableView->model();
        std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(2, 0), model->index(3, 0)}));
        QVERIFY(model->canDropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model->index(0, 0)));
        model->dropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model->index(0, 0));
        QCOMPARE(order(), QString("bcad"));
        QCOMPARE(c().objects().size(), 4u);  // moved, not copied nor lost
        // Dropped below the last row: to the end.
        dragged.reset(model->mimeData({model->index(0, 0)}));
        model->dropMimeData(dragged.get(), Qt::MoveAction, -1, -1, {});
        QCOMPARE(order(), QString("cadb"));
        // Rows dragged from another Reel's table are not ours to move.
        QMimeData foreign;
        foreign.setData(kRowsMimeType, QByteArray::number(QCoreApplication::applicationPid() + 1) + ":0 1");
        QVERIFY(!model->dropMimeData(&foreign, Qt::MoveAction, -1, -1, {}));
        QCOMPARE(order(), QString("cadb"));
    }

    void dropsOfPlaylistsAppendTheirLines() {
        const QString a = movie("a.mp4"), b = movie("b.mp4");
        c().addFiles({a});
        c().intake().finish();
        writeText(files_->filePath("drop.xspf"),
                  "<?xml version=\"1.0\"?><playlist><trackList><track><location>b.mp4</location></track>"
                  "</trackList></playlist>");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(files_->filePath("drop.xspf"))});
        QAbstractItemModel* model = c().outlets().tableView->model();
        QVERIFY(model->canDropMimeData(&data, Qt::CopyAction, 0, 0, {}));
        QVERIFY(model->dropMimeData(&data, Qt::CopyAction, 0, 0, {}));
        c().intake().finish();
        QCOMPARE(names(), (QStringList{a, b}));
    }
};

QTEST_MAIN(PlaylistFilesTest)
#include "test_playlist_files.moc"
