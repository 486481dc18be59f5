// The playlist kept across runs: the state file, the offer to restore, a player killed at random.

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>
#include <thread>

#include "app/preferences_dialog.h"
#include "app/session_keeper.h"
#include "platform/preferences.h"
#include "platform/state_file.h"
#include "support/fake_movie_view.h"
#include "support/log_recorder.h"
#include "support/media.h"
#include "support/qt_support.h"

using namespace reel;

namespace {

const auto kNothingToOffer = [](int) -> bool { qFatal("nothing is to be offered"); };

QStringList locations(const std::vector<PlaylistLine>& lines) {
    QStringList out;
    for (const PlaylistLine& line : lines) out << line.location;
    return out;
}

}  // namespace

class SessionTest : public test::KeptStateTest {
    Q_OBJECT

private:
    QString folder() const { return state_->filePath("reel"); }  // made by the first write
    std::optional<SessionSnapshot> onDisk() {
        const auto bytes = platform::StateFile::read(folder() + "/session.json");
        return bytes ? decodeSession(*bytes, nullptr) : std::nullopt;
    }
    // Waits until what the keeper holds now is on disk.
    void settle(SessionKeeper& keeper) {
        const quint64 generation = keeper.recordNow();
        QSignalSpy spy(&keeper.file(), &platform::StateFile::saved);
        QTRY_VERIFY(!spy.isEmpty() && spy.last().at(0).toULongLong() >= generation);
    }
    // Starts the keeper of a new run, and waits for the list it restores, if it restores one.
    void start(SessionKeeper& keeper, bool always, const SessionKeeper::AskRestore& ask, int restores) {
        QSignalSpy restored(&keeper, &SessionKeeper::restored);
        keeper.start(always, ask);
        QTRY_COMPARE(restored.size(), restores);
    }

private slots:
    void aCleanEndStartsEmptyAndACrashIsOffered() {
        const QString movie = copy("a.mp4");
        {
            SessionKeeper keeper(c(), folder());
            keeper.start(false, kNothingToOffer);
            add({movie, movie});
            c().selectRow(1);
            settle(keeper);
            const auto running = onDisk();
            QVERIFY(running && !running->clean);
            QCOMPARE(locations(running->entries), (QStringList{movie, movie}));
            QCOMPARE(running->selected, 1);
            keeper.endCleanly();
        }
        QVERIFY(onDisk()->clean);

        // After a normal quit: asked nothing, started empty, as ever.
        relaunch();
        {
            SessionKeeper keeper(c(), folder());
            keeper.start(false, kNothingToOffer);
            QCOMPARE(c().objects().size(), 0u);
            add({movie});
            settle(keeper);
            // No clean end this time: the keeper goes as a crash leaves it.
        }

        // After a crash the user is asked, and a yes brings the list back.
        relaunch();
        {
            SessionKeeper keeper(c(), folder());
            int offered = -1;
            const auto yes = [&](int entries) {
                offered = entries;
                return true;
            };
            start(keeper, false, yes, 1);
            QCOMPARE(offered, 1);
            QCOMPARE(names(), QStringList{movie});
        }

        // "Start empty" starts empty, and from then on that is what is kept.
        relaunch();
        SessionKeeper keeper(c(), folder());
        start(
            keeper, false, [](int) { return false; }, 0);
        QCOMPARE(c().objects().size(), 0u);
        settle(keeper);
        QCOMPARE(onDisk()->entries.size(), 0u);
    }

    // Restored always, as the preference says: the selection, and the movie shown where it was left.
    void thePreferenceRestoresTheListAndTheMovieGoesOnWhereItWas() {
        const QString film = copy("long.mp4", "long_3700s.mp4"), other = copy("other.mp4");
        const std::vector<PlaylistLine> filmFirst{{film, {}, -1}, {other, {}, -1}};
        const PlaylistLine gone{files_.filePath("gone.mp4"), "Gone", 60};
        // The switch, set in the dialog, lands in reel.ini beside VolumeLevel.
        platform::setPersistentDomain({{"VolumeLevel", 0.5}}, platform::kPreferenceDomain);
        tickPreference("restorePlaylist");
        QCOMPARE(platform::persistentDomainForName(platform::kPreferenceDomain)->value("VolumeLevel"), 0.5);
        const struct {
            const char* what;
            SessionSnapshot last;
            int viewRow;
            double start;  // where the clock stands once it is viewed
        } cases[] = {
            // The movie shown was the one selected, as a file written before the shown name was kept says.
            {"selected", {{{other, {}, -1}, {film, {}, -1}}, 1, {}, 1234.5}, 1, 1234.5},
            // The selection had moved on from the movie shown: the movie shown resumes when viewed.
            {"shown", {filmFirst, 1, film, 600}, 0, 600},
            {"other entry", {filmFirst, 1, film, 600}, 1, 0},
            // At its end it would end at once: it starts again.
            {"at the end", {{{film, {}, -1}}, 0, film, 3699.9}, 0, 0},
            {"none", {{{film, {}, -1}, gone}, 0, {}, -1}, 0, 0},
        };
        for (const auto& test : cases) {
            relaunch();
            QVERIFY(platform::StateFile::writeAtomically(folder() + "/session.json", encodeSession(test.last),
                                                         nullptr));
            SessionKeeper keeper(c(), folder());
            start(keeper, PlayerPreferences::load().restorePlaylist, kNothingToOffer, 1);
            QCOMPARE(c().selectedRow(), test.last.selected);
            c().selectRow(test.viewRow);
            c().viewItem();
            QVERIFY2(qAbs(view().clock->seconds - test.start) < 0.01,
                     qPrintable(QString("%1: %2").arg(test.what).arg(view().clock->seconds)));
            // Only once: viewed again it starts at its beginning.
            c().viewItem();
            QCOMPARE(view().clock->seconds, 0.0);
        }
        // The last list's missing movie is kept, greyed.
        QCOMPARE(c().objects()[1].problem, std::string("File not found"));
        QCOMPARE(c().objects()[1].title, std::string("Gone"));
    }

    // What cannot be read is set aside; what is read is held to the list it came with.
    void aDamagedStateFileIsSetAside() {
        const struct {
            QByteArray bytes;
            const char* why;
        } cases[] = {{"{\"version\":1,\"entries\":[{\"name\":\"/a.mp", "unterminated"},
                     {"{\"version\":2,\"entries\":[]}", "version 2"}};
        for (const auto& bad : cases) {
            state_ = std::make_unique<QTemporaryDir>();
            QVERIFY(QDir().mkpath(folder()));
            test::spit(folder().toStdString() + "/session.json", bad.bytes.toStdString());
            test::LogRecorder log;
            SessionKeeper keeper(c(), folder());
            QVERIFY(!keeper.previous());
            QCOMPARE(QDir(folder()).entryList({"session.json.broken-*"}).size(), 1);
            QVERIFY2(log.count("unreadable") == 1 && log.count(bad.why) == 1, bad.why);
        }
        const auto read =
            decodeSession(R"({"version":1,"selected":5,"entries":[{"name":"/a.mp4"}]})", nullptr);
        QVERIFY(read && read->selected == -1 && !read->clean);  // a selection outside the list means none
    }

    void aWriteThatCannotBeMadeIsReportedNotTakenAsDone() {
        test::LogRecorder log;
        platform::StateFile nowhere("/proc/nope/session.json");  // not even root makes this folder
        QVERIFY(!nowhere.saveNow("{}"));
        nowhere.save([] { return QByteArray("{}"); });
        nowhere.flush();
        QCOMPARE(log.count("cannot write /proc/nope/session.json"), 2);
    }

    void killedAtRandomTheFileHoldsTheListBeforeOrAfter() {
        const QString churn = qEnvironmentVariable("SESSION_CHURN");
        const int runs = qEnvironmentVariableIntValue("SESSION_CHURN_RUNS");  // fewer where runs are slow
        QVERIFY2(QFileInfo(churn).isExecutable() && runs > 0, qPrintable(churn));
        QRandomGenerator random(20261207);
        for (int run = 0; run < runs; ++run) {
            QProcess player;
            player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            player.start(churn, {folder(), QString::number(run)});
            // Lines read "change N BEFORE AFTER"; the kill lands at a random moment of change `wanted`.
            const int wanted = 1 + int(random.bounded(12));
            QList<QByteArray> change;
            for (int seen = 0; seen < wanted;) {
                QVERIFY2(player.canReadLine() || player.waitForReadyRead(30000),
                         "the player ended or went quiet");
                for (; player.canReadLine() && seen < wanted; ++seen)
                    change = player.readLine().trimmed().split(' ');
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(3000)));
            player.kill();
            QVERIFY(player.waitForFinished());
            // It may have begun a change further than was read: the last one begun counts.
            while (player.canReadLine()) change = player.readLine().trimmed().split(' ');
            QCOMPARE(change.size(), 4);

            QString why;
            const auto kept =
                decodeSession(platform::StateFile::read(folder() + "/session.json").value_or(""), &why);
            QVERIFY2(kept && !kept->clean, qPrintable(QString("run %1: %2").arg(run).arg(why)));
            const QByteArray sum = QCryptographicHash::hash(locations(kept->entries).join('\n').toUtf8(),
                                                            QCryptographicHash::Sha1)
                                       .toHex();
            QVERIFY2(sum == change[2] || sum == change[3],
                     qPrintable(QString("run %1, %2").arg(run).arg(change[1])));
        }
    }
};

QTEST_MAIN(SessionTest)
#include "test_session.moc"
