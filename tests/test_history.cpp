// What the player remembers between runs: where movies were left, which were seen, the files opened last.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include "app/playlist_intake.h"
#include "app/playlist_table.h"
#include "app/recent_menu.h"
#include "app/resume_keeper.h"
#include "platform/content_key.h"
#include "platform/history_store.h"
#include "support/fake_movie_view.h"
#include "support/log_recorder.h"
#include "support/media.h"
#include "support/qt_support.h"

using namespace reel;
using platform::ContentKey;
using platform::HistoryStore;
using platform::PlaceMark;

namespace {

QByteArray pattern(qint64 size, char seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i) bytes[i] = char(seed + i * 31 + i / 977);
    return bytes;
}

// What another program sees in the database file, through a connection of its own.
QVariant ask(const QString& file, const QString& statement) {
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "test-look");
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(statement) && query.next()) value = query.value(0);
        }
    }
    QSqlDatabase::removeDatabase("test-look");
    return value;
}

}  // namespace

class HistoryTest : public test::KeptStateTest {
    Q_OBJECT

private:
    QString folder() const { return state_->path(); }
    QString database() const { return state_->filePath(HistoryStore::kFileName); }
    ResumeKeeper& resume() { return *interface().resume(); }
    QAbstractItemModel* model() { return ui().tableView->model(); }
    QStringList recentShown() {
        QStringList shown;
        interface().recentMenu()->refresh();
        for (QAction* action : ui().mainWindow->findChild<QMenu*>("recentMenu")->actions())
            if (!action->data().toString().isEmpty())
                shown << action->data().toString() + (action->isEnabled() ? "" : " (off)");
        return shown;
    }
    double kept(const QString& file) {
        const auto mark = interface().history()->mark(*ContentKey::of(file));
        return mark ? mark->seconds : -1;
    }
    // The mark counts only with the text that reads it out.
    bool watchedMark(int row) {
        const QModelIndex index = model()->index(row, 0);
        return !index.data(Qt::DecorationRole).value<QIcon>().isNull() &&
               index.data(Qt::AccessibleDescriptionRole).toString() == "Watched";
    }

private slots:
    void contentKeysFollowTheContentNotThePath() {
        const qint64 chunk = ContentKey::kChunkBytes;
        const auto keyOf = [&](const QByteArray& bytes) {
            test::spit(files_.filePath("other.bin").toStdString(), bytes.toStdString());
            return ContentKey::of(files_.filePath("other.bin"));
        };
        const QByteArray bytes = pattern(5 * chunk, 'a');
        test::spit(files_.filePath("big.bin").toStdString(), bytes.toStdString());
        const auto key = ContentKey::of(files_.filePath("big.bin"));
        QVERIFY(key && keyOf(bytes) == key);  // a copy elsewhere
        const struct {
            const char* what;
            qint64 at;  // the byte changed
            bool same;
        } changes[] = {{"end of the first 64 KiB", chunk - 1, false},
                       {"just past it", chunk, true},
                       {"start of the last 64 KiB", 4 * chunk, false}};
        for (const auto& change : changes) {
            QByteArray changed = bytes;
            changed[change.at] = char(changed[change.at] ^ 1);
            QVERIFY2((keyOf(changed) == key) == change.same, change.what);
        }
        QVERIFY(keyOf(QByteArray(bytes).insert(2 * chunk, 'x')) != key);  // the same ends, a byte longer
        // Under 128 KiB the file is hashed whole, once: a change anywhere counts; so does one byte more.
        for (qint64 size : {qint64(1), chunk, 2 * chunk - 1, 2 * chunk}) {
            QByteArray small = pattern(size, 'q');
            const auto before = keyOf(small);
            QVERIFY(before);
            small[size / 2] = char(small[size / 2] ^ 1);
            QVERIFY2(keyOf(small) != before, qPrintable(QString::number(size)));
            QVERIFY(keyOf(small + 'x') != before);
        }
        // What cannot be read has no key.
        QDir(files_.path()).mkdir("folder.mp4");
        for (const QString& path : {files_.filePath("absent.mp4"), files_.filePath("folder.mp4"),
                                    test::media("empty.mov"), test::media("fifo.mp4")})
            QVERIFY2(!ContentKey::of(path), qPrintable(path));
    }

    // Newest first, each once, the oldest beyond twenty let go.
    void theRecentListKeepsTheNewestAcrossRuns() {
        {
            HistoryStore store(folder());
            for (int i = 0; i < 25; ++i) store.noteRecent(QString("/m/%1.mp4").arg(i));
            store.noteRecent("/m/10.mp4");  // again: to the top, once
            store.flush();
        }
        HistoryStore store(folder());
        store.flush();
        QStringList expected{"/m/10.mp4"};
        for (int i = 24; expected.size() < HistoryStore::kRecentCount; --i)
            if (i != 10) expected << QString("/m/%1.mp4").arg(i);
        QCOMPARE(store.recent(), expected);
        QCOMPARE(ask(database(), "PRAGMA journal_mode").toString(), QString("wal"));
    }

    void anUnusableDatabaseIsSetAsideAndAFreshOneMade() {
        struct Case {
            const char* what;
            std::function<void()> make;
            const char* said;   // in the log line
            const char* aside;  // the name it is set aside under
        };
        QSqlDatabase locker;
        const Case cases[] = {
            {"garbage", [&] { test::spit(database().toStdString(), pattern(100000, 'g').toStdString()); },
             "not a database", "broken"},
            {"a directory", [&] { QVERIFY(QDir().mkpath(database() + "/inside")); }, "", "broken"},
            {"a newer schema",
             [&] {
                 { HistoryStore(folder()).flush(); }
                 ask(database(), "PRAGMA user_version = 7");
             },
             "newer", "newer"},
            {"locked by a writer",
             [&] {
                 { HistoryStore(folder()).flush(); }
                 locker = QSqlDatabase::addDatabase("QSQLITE", "test-locker");
                 locker.setDatabaseName(database());
                 QVERIFY(locker.open());
                 QSqlQuery query(locker);
                 QVERIFY(query.exec("BEGIN IMMEDIATE"));
                 QVERIFY(query.exec("INSERT INTO recent (path, used) VALUES ('/held', 1)"));
             },
             "locked", "broken"},
        };
        for (const Case& test : cases) {
            state_ = std::make_unique<QTemporaryDir>();
            test.make();
            test::LogRecorder log;
            {
                HistoryStore store(folder());
                store.flush();  // open, whatever it found: a hang here fails the test by its timeout
                store.setMark("after", {42, false});
                store.noteRecent("/after.mp4");
                store.flush();
            }
            if (locker.isOpen()) {  // its transaction ends with the connection
                locker = {};
                QSqlDatabase::removeDatabase("test-locker");
            }
            const QStringList aside = QDir(folder()).entryList({"history.sqlite.*"}, QDir::AllEntries);
            const QRegularExpression name(QString("\\.sqlite\\.%1-[0-9-]+$").arg(test.aside));
            QVERIFY2(aside.filter(name).size() == 1 && log.count("set aside as") == 1 &&
                         (!*test.said || log.count(test.said) == 1),
                     qPrintable(QString("%1: %2").arg(test.what, aside.join(' '))));
            // What was kept after it lasts, in a database of the current schema.
            HistoryStore again(folder());
            again.flush();
            QCOMPARE(again.mark("after"), std::optional<PlaceMark>(PlaceMark{42, false}));
            QCOMPARE(again.recent(), QStringList{"/after.mp4"});
            QCOMPARE(ask(database(), "PRAGMA user_version").toInt(), HistoryStore::kSchemaVersion);
        }
        // With no folder to be made, the store lives in memory and says so.
        test::spit((folder() + "/plain").toStdString(), "a file");
        test::LogRecorder log;
        HistoryStore store(folder() + "/plain/reel");
        store.setMark("after", {42, false});
        store.flush();
        QCOMPARE(store.mark("after"), std::optional<PlaceMark>(PlaceMark{42, false}));
        QCOMPARE(log.count("cannot be made"), 1);
    }

    void aMovieResumesWhereItWasLeftWhateverItsName() {
        interface().keepHistory(folder());
        const QString movie = copy("long.mp4", "long_3700s.mp4"), other = copy("other.mp4");
        add({movie, other});
        // Switched off, as it starts, nothing is kept and every movie starts at its beginning.
        QVERIFY(!resume().enabled());
        for (double left : {600.0, 3690.0}) {
            viewRow(0);
            QCOMPARE(view().clock->seconds, 0.0);
            view().clock->seconds = left;
            QVERIFY(!test::expire(resume().playingTimer()));
            c().mainButtonClicked();
            viewRow(1);
        }
        resume().recordNow();
        QVERIFY(!watchedMark(0));
        interface().history()->flush();
        QCOMPARE(ask(database(), "SELECT COUNT(*) FROM positions").toInt(), 0);

        tickPreference("resumeMovies");  // kept for the next run, which resumes below
        QVERIFY(resume().enabled());
        viewRow(0);
        view().clock->seconds = 600;
        QVERIFY(test::expire(resume().playingTimer()));  // the keeping while it plays
        QCOMPARE(kept(movie), 600.0);
        view().clock->seconds = 700;
        viewRow(1);  // switching keeps where it was left

        viewRow(0);
        QCOMPARE(view().clock->seconds, 700.0);
        QCOMPARE(ui().cTimeField->text(), QString("0:11:40/1:01:40"));
        view().clock->seconds = 800;
        c().mainButtonClicked();  // pause
        QCOMPARE(kept(movie), 800.0);

        // Left in its last minute it counts as seen: marked, and next time from the start.
        QVERIFY(!watchedMark(0));
        view().clock->seconds = 3650;
        viewRow(1);
        QVERIFY(watchedMark(0));
        QCOMPARE(kept(movie), 0.0);
        viewRow(0);
        QCOMPARE(view().clock->seconds, 0.0);

        // A copy is the same movie: the mark shows once its key is read, off the interface's thread.
        QVERIFY(QDir(files_.path()).mkdir("moved"));
        const QString twin = files_.filePath("moved/twin.mp4");
        QVERIFY(QFile::copy(movie, twin));
        add({twin});
        QTRY_VERIFY(watchedMark(2));
        QVERIFY(!watchedMark(1));

        // Played to its end: seen. The end is told on the player's thread.
        viewRow(1);
        view().clock->seconds = 1;
        fake::playToEnd(view().clock);
        QTRY_VERIFY(watchedMark(1));

        // At quit the movie in the viewer is kept.
        viewRow(2);
        view().clock->seconds = 1234;
        resume().recordNow();

        relaunch();
        interface().keepHistory(folder());
        QVERIFY(QFile::rename(movie, files_.filePath("renamed.mp4")));
        add({files_.filePath("renamed.mp4")});
        QTRY_VERIFY(watchedMark(0));  // seen once, it stays marked; left part-way again, it resumes there
        viewRow(0);
        QCOMPARE(view().clock->seconds, 1234.0);
    }

    void openRecentListsWhatWasViewedAndOpened() {
        interface().keepHistory(folder());
        const QString a = copy("a.mp4"), b = copy("b.mp4"), list = files_.filePath("list.m3u8");
        add({a, b});
        QVERIFY(c().savePlaylistFile(list));
        for (int row : {0, 1, 0}) viewRow(row);
        open(list);
        QCOMPARE(recentShown(), (QStringList{list, a, b}));

        QVERIFY(QFile::remove(b));
        QCOMPARE(recentShown(), (QStringList{list, a, b + " (off)"}));

        // A movie chosen is added at the end, as a drop is, and viewed.
        open(list);
        interface().recentMenu()->choose(a);
        c().intake().finish();
        QCOMPARE(c().objects().size(), 3u);
        QTRY_COMPARE(c().selectedRow(), 2);
        QCOMPARE(c().shownPath(), a);
        // A playlist chosen replaces the list, as Open Playlist… does.
        interface().recentMenu()->choose(list);
        c().intake().finish();
        QCOMPARE(int(c().objects().size()), 2);

        // Clear empties it, in this run and the next.
        QMenu* menu = ui().mainWindow->findChild<QMenu*>("recentMenu");
        interface().recentMenu()->refresh();
        QAction* clear = menu->actions().last();
        QCOMPARE(clear->text(), QString("Clear"));
        clear->trigger();
        QVERIFY(recentShown().isEmpty());
        QVERIFY(!menu->actions().last()->isEnabled());
        interface().history()->flush();
        relaunch();
        interface().keepHistory(folder());
        interface().history()->flush();
        QVERIFY(recentShown().isEmpty());
    }
};

QTEST_MAIN(HistoryTest)
#include "test_history.moc"
