// What the player remembers between runs: movies by their content, where
// they were left, which were seen, the files opened last, and the database
// that holds it all, whatever state it is found in.

#include <QCheckBox>
#include <QDialog>
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
#include "app/preferences_dialog.h"
#include "app/recent_menu.h"
#include "app/resume_keeper.h"
#include "platform/content_key.h"
#include "platform/history_store.h"
#include "platform/preferences.h"
#include "support/fake_movie_view.h"
#include "support/log_recorder.h"
#include "support/media.h"
#include "support/qt_support.h"

using namespace reel;
using platform::ContentKey;
using platform::HistoryStore;
using platform::PlaceMark;

namespace {

void write(const QString& path, const QByteArray& bytes) {
    test::spit(path.toStdString(), bytes.toStdString());
}

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
        db.close();
    }
    QSqlDatabase::removeDatabase("test-look");
    return value;
}

}  // namespace

class HistoryTest : public test::InterfaceTest {
    Q_OBJECT
public:
    HistoryTest() : InterfaceTest([] { return std::make_unique<fake::MovieView>(); }) {}

private:
    std::unique_ptr<QTemporaryDir> state_;
    QString folder() const { return state_->path(); }
    QString database() const { return state_->filePath(HistoryStore::kFileName); }
    fake::MovieView& view() { return *static_cast<fake::MovieView*>(c().view()); }
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
    // Turns the preference on as a user does: Edit > Preferences…, the box, OK.
    void switchResumeOn() {
        QAction* preferences = ui().mainWindow->findChild<QAction*>("actionPreferences");
        preferences->trigger();
        auto* dialog = ui().mainWindow->findChild<PreferencesDialog*>();
        QVERIFY(dialog);
        auto* box = dialog->findChild<QCheckBox*>("resumeMovies");
        QVERIFY(box && !box->isChecked());
        box->setChecked(true);
        dialog->accept();
        QVERIFY(resume().enabled());
    }
    double kept(const QString& file) {
        const auto mark = interface().history()->mark(*ContentKey::of(file));
        return mark ? mark->seconds : -1;
    }
    bool watchedMark(int row) {
        const QModelIndex index = model()->index(row, 0);
        const bool icon = !index.data(Qt::DecorationRole).value<QIcon>().isNull();
        const bool said = index.data(Qt::AccessibleDescriptionRole).toString() == "Watched";
        if (icon != said) qWarning("row %d: the mark and its text disagree", row);
        return icon && said;
    }

private slots:
    void init() {
        state_ = std::make_unique<QTemporaryDir>();
        relaunch();
    }

    void contentKeysFollowTheContentNotThePath() {
        const qint64 chunk = ContentKey::kChunkBytes;
        const QString big = files_.filePath("big.bin");
        write(big, pattern(5 * chunk, 'a'));
        const QString key = *ContentKey::of(big);
        const auto keyOf = [&](const QByteArray& bytes) {
            const QString path = files_.filePath("other.bin");
            write(path, bytes);
            return ContentKey::of(path);
        };
        QByteArray bytes = pattern(5 * chunk, 'a');
        QCOMPARE(keyOf(bytes), std::optional<QString>(key));  // a copy elsewhere
        struct Case {
            const char* what;
            qint64 at;  // the byte changed
            bool same;
        };
        for (const Case& change :
             {Case{"first byte", 0, false}, Case{"end of the first 64 KiB", chunk - 1, false},
              Case{"just past it", chunk, true}, Case{"middle", 2 * chunk, true},
              Case{"start of the last 64 KiB", 4 * chunk, false}, Case{"last byte", 5 * chunk - 1, false}}) {
            QByteArray changed = bytes;
            changed[change.at] = char(changed[change.at] ^ 1);
            QVERIFY2((keyOf(changed) == std::optional<QString>(key)) == change.same, change.what);
        }
        // A longer file with the same ends is another file.
        QVERIFY(keyOf(bytes + pattern(10, 'z')) != std::optional<QString>(key));
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
        for (const QString& path :
             {files_.filePath("absent.mp4"), files_.filePath("folder.mp4"), test::media("empty.mov"),
              test::media("fifo.mp4"), test::media("dangling.mp4")})
            QVERIFY2(!ContentKey::of(path), qPrintable(path));
    }

    void theStoreKeepsMarksAndTheRecentListAcrossRuns() {
        {
            HistoryStore store(folder());
            store.setMark("k1", {12.5, false});
            store.setMark("k2", {0, true});
            store.setMark("k1", {99.25, false});
            for (int i = 0; i < 25; ++i) store.noteRecent(QString("/m/%1.mp4").arg(i));
            store.noteRecent("/m/10.mp4");  // again: to the top, once
            QCOMPARE(store.recent().size(), HistoryStore::kRecentCount);
            store.flush();
        }
        HistoryStore store(folder());
        store.flush();
        QCOMPARE(store.mark("k1"), std::optional<PlaceMark>(PlaceMark{99.25, false}));
        QCOMPARE(store.mark("k2"), std::optional<PlaceMark>(PlaceMark{0, true}));
        QVERIFY(!store.mark("k3"));
        QStringList expected{"/m/10.mp4"};
        for (int i = 24; expected.size() < HistoryStore::kRecentCount; --i)
            if (i != 10) expected << QString("/m/%1.mp4").arg(i);
        QCOMPARE(store.recent(), expected);
        QCOMPARE(ask(database(), "PRAGMA journal_mode").toString(), QString("wal"));
        store.clearRecent();
        store.flush();
        QCOMPARE(ask(database(), "SELECT COUNT(*) FROM recent").toInt(), 0);
    }

    void anUnusableDatabaseIsSetAsideAndAFreshOneMade() {
        struct Case {
            const char* what;
            std::function<void()> make;
            const char* said;   // in the log line
            const char* aside;  // the name it is set aside under; none when it is usable as it is
            bool lasts = true;  // false: no folder can be made, and the store lives in memory
        };
        QSqlDatabase locker;
        const Case cases[] = {
            {"garbage", [&] { write(database(), pattern(100000, 'g')); }, "not a database", ".broken-"},
            {"zero bytes", [&] { write(database(), {}); }, "", nullptr},
            {"a directory", [&] { QVERIFY(QDir().mkpath(database() + "/inside")); }, "", ".broken-"},
            {"a newer schema",
             [&] {
                 { HistoryStore(folder()).flush(); }
                 ask(database(), "PRAGMA user_version = 7");
             },
             "newer", ".newer-"},
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
             "locked", ".broken-"},
            {"no folder to make it in", [&] { write(folder() + "/plain", "a file"); }, "cannot be made",
             nullptr, false},
        };
        for (const Case& test : cases) {
            state_ = std::make_unique<QTemporaryDir>();
            test.make();
            test::LogRecorder log;
            {
                HistoryStore store(test.lasts ? folder() : folder() + "/plain/reel");
                store.flush();  // open, whatever it found: a hang here fails the test by its timeout
                store.setMark("after", {42, false});
                store.noteRecent("/after.mp4");
                store.flush();
                QCOMPARE(store.mark("after"), std::optional<PlaceMark>(PlaceMark{42, false}));
                QCOMPARE(store.recent(), QStringList{"/after.mp4"});
            }
            if (locker.isOpen()) {
                QSqlQuery(locker).exec("ROLLBACK");
                locker.close();
                locker = {};
                QSqlDatabase::removeDatabase("test-locker");
            }
            const QStringList aside = QDir(folder()).entryList({"history.sqlite.*"}, QDir::AllEntries);
            if (test.aside) {
                QVERIFY2(aside.filter(QRegularExpression("\\.sqlite" +
                                                         QRegularExpression::escape(test.aside) + "[0-9-]+$"))
                                 .size() == 1,
                         qPrintable(QString("%1: %2").arg(test.what, aside.join(' '))));
                QCOMPARE(log.count("set aside as"), 1);
            } else {
                QCOMPARE(log.count("set aside"), 0);
            }
            QVERIFY2(!*test.said || log.count(test.said) == 1, test.what);
            if (!test.lasts) continue;
            // What was kept after it is in a database of the current schema.
            HistoryStore again(folder());
            again.flush();
            QCOMPARE(again.mark("after"), std::optional<PlaceMark>(PlaceMark{42, false}));
            QCOMPARE(again.recent(), QStringList{"/after.mp4"});
            QCOMPARE(ask(database(), "PRAGMA user_version").toInt(), HistoryStore::kSchemaVersion);
        }
    }

    void aMovieResumesWhereItWasLeftWhateverItsName() {
        interface().keepHistory(folder());
        QVERIFY(!resume().enabled());
        switchResumeOn();  // kept for the next run, which resumes below
        const QString movie = copy("long.mp4", "long_3700s.mp4"), other = copy("other.mp4");
        add({movie, other});

        viewRow(0);
        QCOMPARE(view().clock->seconds, 0.0);
        view().clock->seconds = 600;
        QVERIFY(test::expire(resume().playingTimer()));  // the keeping while it plays
        QCOMPARE(kept(movie), 600.0);
        view().clock->seconds = 700;
        viewRow(1);  // switching keeps where it was left
        QCOMPARE(kept(movie), 700.0);

        viewRow(0);
        QCOMPARE(view().clock->seconds, 700.0);
        QCOMPARE(ui().cTimeField->text(), QString("0:11:40/1:01:40"));
        view().clock->seconds = 800;
        c().mainButtonClicked();  // pause
        QCOMPARE(kept(movie), 800.0);

        // Renamed and moved, it is the same movie.
        QVERIFY(QDir(files_.path()).mkdir("moved"));
        const QString renamed = files_.filePath("moved/renamed.mp4");
        QVERIFY(QFile::rename(movie, renamed));
        add({renamed});
        viewRow(2);
        QCOMPARE(view().clock->seconds, 800.0);

        // Left in its last minute it counts as seen: marked, and next time from the start.
        QVERIFY(!watchedMark(2));
        view().clock->seconds = 3650;
        viewRow(1);
        QVERIFY(watchedMark(2));
        QCOMPARE(kept(renamed), 0.0);
        viewRow(2);
        QCOMPARE(view().clock->seconds, 0.0);
        QCOMPARE(ui().cTimeField->text(), QString("1:01:40"));

        // Another copy shares it: its mark shows once its key is read, off the interface's thread.
        const QString twin = files_.filePath("twin.mp4");
        QVERIFY(QFile::copy(renamed, twin));
        add({twin});
        QTRY_VERIFY(watchedMark(3));
        QVERIFY(!watchedMark(1));

        // Played to its end: seen. The end is told on the player's thread.
        viewRow(1);
        view().clock->seconds = 1;
        fake::playToEnd(view().clock);
        QTRY_VERIFY(watchedMark(1));

        // At quit the movie in the viewer is kept.
        viewRow(3);
        view().clock->seconds = 1234;
        resume().recordNow();
        QCOMPARE(kept(twin), 1234.0);
        interface().history()->flush();
        QCOMPARE(ask(database(), "SELECT COUNT(*) FROM positions").toInt(), 2);

        // The next run reads it back.
        relaunch();
        interface().keepHistory(folder());
        add({renamed});
        QTRY_VERIFY(watchedMark(0));  // seen once, it stays marked; left part-way again, it resumes there
        viewRow(0);
        QCOMPARE(view().clock->seconds, 1234.0);
    }

    void switchedOffEveryMovieStartsAtItsBeginning() {
        interface().keepHistory(folder());
        const QString movie = copy("long.mp4", "long_3700s.mp4"), other = copy("other.mp4");
        add({movie, other});
        for (int round = 0; round < 2; ++round) {
            viewRow(0);
            QCOMPARE(view().clock->seconds, 0.0);
            view().clock->seconds = round == 0 ? 600 : 3690;
            QVERIFY(!test::expire(resume().playingTimer()));
            c().mainButtonClicked();
            viewRow(1);
        }
        resume().recordNow();
        QVERIFY(!watchedMark(0));
        interface().history()->flush();
        QCOMPARE(ask(database(), "SELECT COUNT(*) FROM positions").toInt(), 0);
        QVERIFY(!interface().history()->mark(*ContentKey::of(movie)));
    }

    void openRecentListsWhatWasViewedAndOpened() {
        interface().keepHistory(folder());
        const QString a = copy("a.mp4"), b = copy("b.mp4"), list = files_.filePath("list.m3u8");
        add({a, b});
        QVERIFY(c().savePlaylistFile(list));
        for (int row : {0, 1, 0}) viewRow(row);
        c().openPlaylistFile(list);
        c().intake().finish();
        QCOMPARE(recentShown(), (QStringList{list, a, b}));

        QVERIFY(QFile::remove(b));
        QCOMPARE(recentShown(), (QStringList{list, a, b + " (off)"}));

        // A movie chosen is added at the end, as a drop is, and viewed.
        c().openPlaylistFile(list);
        c().intake().finish();
        const int before = int(c().objects().size());
        interface().recentMenu()->choose(a);
        c().intake().finish();
        QCOMPARE(int(c().objects().size()), before + 1);
        QTRY_COMPARE(c().selectedRow(), before);
        QCOMPARE(c().shownPath(), a);
        // A playlist chosen replaces the list, as Open Playlist… does.
        interface().recentMenu()->choose(list);
        c().intake().finish();
        QCOMPARE(int(c().objects().size()), 2);
        QCOMPARE(c().objects()[1].problem, std::string("File not found"));

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
