// The playlist kept across runs: the state file, the offer to restore, and
// a player killed at random moments that never leaves a half-written list.

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/playlist_intake.h"
#include "app/preferences_dialog.h"
#include "app/session_keeper.h"
#include "platform/log.h"
#include "platform/preferences.h"
#include "platform/state_file.h"
#include "support/fake_movie_view.h"

using namespace reel;

namespace {

QString media(const QString& name) { return qEnvironmentVariable("REEL_TEST_MEDIA") + "/" + name; }

std::optional<SessionSnapshot> onDisk(const QString& folder) {
    const auto bytes = platform::StateFile::read(folder + "/session.json");
    if (!bytes) return std::nullopt;
    return decodeSession(*bytes, nullptr);
}

QStringList locations(const std::vector<PlaylistLine>& lines) {
    QStringList out;
    for (const PlaylistLine& line : lines) out << line.location;
    return out;
}

}  // namespace

class SessionTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    std::unique_ptr<QTemporaryDir> state_;
    std::unique_ptr<Interface> ui_;
    QStringList logged_;

    AppController& c() { return ui_->controller(); }
    QString folder() const { return state_->path(); }
    QStringList names() const {
        QStringList list;
        for (const EntryRecord& e : ui_->controller().objects()) list << QString::fromStdString(e.name);
        return list;
    }
    void newRun() {
        ui_.reset();
        ui_ = std::make_unique<Interface>([] { return std::make_unique<fake::MovieView>(); });
    }
    // Waits until what the keeper holds now is on disk.
    void settle(SessionKeeper& keeper) {
        const quint64 generation = keeper.recordNow();
        QSignalSpy spy(&keeper.file(), &platform::StateFile::saved);
        QTRY_VERIFY(!spy.isEmpty() && spy.last().at(0).toULongLong() >= generation);
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        platform::setLogSink([this](std::string_view line) { logged_ << QString::fromUtf8(line); });
    }
    void cleanupTestCase() { platform::setLogSink({}); }
    void init() {
        state_ = std::make_unique<QTemporaryDir>();
        logged_.clear();
        newRun();
    }
    void cleanup() {
        ui_.reset();
        QFile::remove(config_.filePath("reel/reel.ini"));
    }

    void snapshotsReadBackAndBadOnesAreRefused() {
        const SessionSnapshot snapshot{
            {{"/a b/é.mp4", "Title", 12.5}, {"http://x/y", {}, -1}}, 1, "/a b/é.mp4", 33, true};
        QString why;
        QCOMPARE(decodeSession(encodeSession(snapshot), &why), std::optional<SessionSnapshot>(snapshot));

        const struct {
            QByteArray bytes;
            const char* why;
        } bad[] = {
            {"", "illegal value"},
            {"{\"version\":1,\"entries\":[", "unterminated"},
            {"{\"version\":2,\"entries\":[]}", "version 2"},
            {QByteArray("\x00\x01\x02", 3), ""},
        };
        for (const auto& b : bad) {
            QVERIFY(!decodeSession(b.bytes, &why));
            QVERIFY2(why.contains(b.why, Qt::CaseInsensitive), qPrintable(why));
        }
        // A selection outside the list means none.
        const auto read =
            decodeSession("{\"version\":1,\"selected\":5,\"entries\":[{\"name\":\"/a.mp4\"}]}", &why);
        QVERIFY(read);
        QCOMPARE(read->selected, -1);
        QVERIFY(!read->clean);
    }

    void writesAreWholeAndTheNewestWins() {
        platform::StateFile file(folder() + "/deep/er/state.json");
        QSignalSpy saved(&file, &platform::StateFile::saved);
        quint64 last = 0;
        for (int i = 0; i < 200; ++i) last = file.save([i] { return QByteArray::number(i); });
        file.flush();
        QCOMPARE(*platform::StateFile::read(file.path()), QByteArray("199"));
        QTRY_VERIFY(!saved.isEmpty() && saved.last().at(0).toULongLong() == last);
        QVERIFY(!QFile::exists(file.path() + ".new"));
        QVERIFY(file.saveNow("now"));
        QCOMPARE(*platform::StateFile::read(file.path()), QByteArray("now"));

        QString why;
        QVERIFY(!platform::StateFile::writeAtomically("/proc/nope/state.json", "x", &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(!platform::StateFile::read(folder() + "/absent"));
    }

    void aCleanEndStartsEmptyAndACrashIsOffered() {
        const QString movie = state_->filePath("a.mp4");
        QVERIFY(QFile::copy(media("mpeg4_mp3.mp4"), movie));
        {
            SessionKeeper keeper(c(), folder());
            QVERIFY(!keeper.previous());
            keeper.start(false, [](int) -> bool { qFatal("nothing to offer"); });
            c().addFiles({movie, movie});
            c().intake().finish();
            c().selectRow(1);
            settle(keeper);
            const auto running = onDisk(folder());
            QVERIFY(running && !running->clean);
            QCOMPARE(locations(running->entries), (QStringList{movie, movie}));
            QCOMPARE(running->selected, 1);
            keeper.endCleanly();
        }
        QVERIFY(onDisk(folder())->clean);

        // After a normal quit: asked nothing, started empty, as ever.
        newRun();
        {
            SessionKeeper keeper(c(), folder());
            keeper.start(false, [](int) -> bool { qFatal("a clean end is not offered"); });
            QCOMPARE(c().objects().size(), 0u);
            c().addFiles({movie});
            c().intake().finish();
            settle(keeper);
            // No clean end this time: the keeper goes as a crash leaves it.
        }

        // After a crash the user is asked, and a yes brings the list back.
        newRun();
        {
            SessionKeeper keeper(c(), folder());
            int offered = -1;
            QSignalSpy restored(&keeper, &SessionKeeper::restored);
            keeper.start(false, [&](int entries) {
                offered = entries;
                return true;
            });
            QCOMPARE(offered, 1);
            QTRY_COMPARE(restored.size(), 1);
            QCOMPARE(names(), QStringList{movie});
            QCOMPARE(c().objects()[0].length, std::string("0:00:02"));
        }

        // "Start empty" starts empty, and from then on that is what is kept.
        newRun();
        {
            SessionKeeper keeper(c(), folder());
            keeper.start(false, [](int) { return false; });
            QCOMPARE(c().objects().size(), 0u);
            settle(keeper);
            QCOMPARE(onDisk(folder())->entries.size(), 0u);
        }
    }

    void thePreferenceRestoresAlwaysAndMissingFilesComeBackGreyed() {
        const QString movie = state_->filePath("b.mp4");
        QVERIFY(QFile::copy(media("mpeg4_mp3.mp4"), movie));
        SessionSnapshot last{{{movie, {}, -1}, {state_->filePath("gone.mp4"), "Gone", 60}}, 1, {}, 5, true};
        QVERIFY(
            platform::StateFile::writeAtomically(folder() + "/session.json", encodeSession(last), nullptr));

        // The switch, set in the dialog, lands in reel.ini beside VolumeLevel and keeps other keys.
        platform::setPersistentDomain({{"VolumeLevel", 0.5}, {"SomethingElse", "kept"}},
                                      platform::kPreferenceDomain);
        QVERIFY(!PlayerPreferences::load().restorePlaylist);
        {
            PreferencesDialog dialog;
            auto* restore = dialog.findChild<QCheckBox*>("restorePlaylist");
            QVERIFY(restore && !restore->isChecked());
            restore->setChecked(true);
            dialog.accept();
        }
        QVERIFY(PlayerPreferences::load().restorePlaylist);
        const auto domain = platform::persistentDomainForName(platform::kPreferenceDomain);
        QCOMPARE(domain->value("VolumeLevel").toDouble(), 0.5);
        QCOMPARE(domain->value("SomethingElse").toString(), QString("kept"));

        SessionKeeper keeper(c(), folder());
        QSignalSpy restored(&keeper, &SessionKeeper::restored);
        keeper.start(PlayerPreferences::load().restorePlaylist,
                     [](int) -> bool { qFatal("the preference answers for the user"); });
        QTRY_COMPARE(restored.size(), 1);
        QCOMPARE(names(), (QStringList{movie, state_->filePath("gone.mp4")}));
        QCOMPARE(c().objects()[1].problem, std::string("File not found"));
        QCOMPARE(c().objects()[1].title, std::string("Gone"));
        QCOMPARE(c().selectedRow(), 1);
    }

    void theRestoredMovieGoesOnWhereItWas() {
        const QString longMovie = state_->filePath("long.mp4"), other = state_->filePath("other.mp4");
        QVERIFY(QFile::copy(media("long_3700s.mp4"), longMovie));
        QVERIFY(QFile::copy(media("mpeg4_mp3.mp4"), other));
        const struct {
            const char* what;
            SessionSnapshot last;
            int viewRow;
            double start;  // where the clock stands once it is viewed
            QString readOut;
        } cases[] = {
            // The movie shown was the one selected, as a file written before the shown name was kept says.
            {"selected",
             {{{other, {}, -1}, {longMovie, {}, -1}}, 1, {}, 1234.5, false},
             1,
             1234.5,
             "0:20:34/1:01:40"},
            // The selection had moved on from the movie shown: the movie shown resumes when viewed.
            {"shown",
             {{{longMovie, {}, -1}, {other, {}, -1}}, 1, longMovie, 600, false},
             0,
             600,
             "0:10:00/1:01:40"},
            {"other entry",
             {{{longMovie, {}, -1}, {other, {}, -1}}, 1, longMovie, 600, false},
             1,
             0,
             "0:00:02"},
            // At its end it would end at once: it starts again.
            {"at the end", {{{longMovie, {}, -1}}, 0, longMovie, 3699.9, false}, 0, 0, "1:01:40"},
            {"none", {{{longMovie, {}, -1}}, 0, {}, -1, false}, 0, 0, "1:01:40"},
        };
        for (const auto& test : cases) {
            newRun();
            QVERIFY(platform::StateFile::writeAtomically(folder() + "/session.json", encodeSession(test.last),
                                                         nullptr));
            SessionKeeper keeper(c(), folder());
            QSignalSpy restored(&keeper, &SessionKeeper::restored);
            keeper.start(false, [](int) { return true; });
            QTRY_COMPARE(restored.size(), 1);
            c().selectRow(test.viewRow);
            c().viewItem();
            auto* view = static_cast<fake::MovieView*>(c().view());
            QVERIFY2(view && view->clock, test.what);
            QVERIFY2(qAbs(view->clock->seconds - test.start) < 0.01,
                     qPrintable(QString("%1: %2").arg(test.what).arg(view->clock->seconds)));
            QCOMPARE(c().outlets().cTimeField->text(), test.readOut);
            // Only once: viewed again it starts at its beginning.
            c().viewItem();
            QCOMPARE(view->clock->seconds, 0.0);
        }
    }

    void aDamagedStateFileIsSetAside() {
        QFile damaged(folder() + "/session.json");
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"version\":1,\"entries\":[{\"name\":\"/a.mp");
        damaged.close();
        SessionKeeper keeper(c(), folder());
        QVERIFY(!keeper.previous());
        const QStringList aside = QDir(folder()).entryList({"session.json.broken-*"});
        QCOMPARE(aside.size(), 1);
        QVERIFY(!logged_.filter("unreadable").isEmpty());
        keeper.start(false, [](int) -> bool { qFatal("nothing to offer"); });
        settle(keeper);
        QVERIFY(onDisk(folder()));
    }

    void killedAtRandomTheFileHoldsTheListBeforeOrAfter() {
        const QString churn = qEnvironmentVariable("SESSION_CHURN");
        QVERIFY2(QFileInfo(churn).isExecutable(), qPrintable(churn));
        QRandomGenerator random(20261207);
        // Fewer where each run is slow (the sanitized build says how many).
        const int kRuns = qEnvironmentVariableIntValue("SESSION_CHURN_RUNS") > 0
                              ? qEnvironmentVariableIntValue("SESSION_CHURN_RUNS")
                              : 200;
        int changesSeen = 0;
        for (int run = 0; run < kRuns; ++run) {
            QProcess player;
            player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            player.start(churn, {folder(), QString::number(run)});
            QVERIFY(player.waitForStarted());
            // The kill lands while change `wanted` is under way, at a random point in it.
            const int wanted = 1 + int(random.bounded(12));
            QByteArray before, after;
            int seen = 0;
            while (seen < wanted) {
                QVERIFY2(player.state() == QProcess::Running || player.bytesAvailable() > 0,
                         "the player ended by itself");
                if (!player.canReadLine() && !player.waitForReadyRead(30000)) QFAIL("the player went quiet");
                while (player.canReadLine() && seen < wanted) {
                    const QList<QByteArray> words = player.readLine().trimmed().split(' ');
                    QCOMPARE(words.size(), 4);
                    before = words[2];
                    after = words[3];
                    ++seen;
                }
            }
            // A random moment inside that change, which takes milliseconds.
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(3000)));
            player.kill();
            QVERIFY(player.waitForFinished());
            // It may have gone on further than was read: the last change it began counts.
            while (player.canReadLine()) {
                const QList<QByteArray> words = player.readLine().trimmed().split(' ');
                QCOMPARE(words.size(), 4);
                before = words[2];
                after = words[3];
                ++seen;
            }
            changesSeen += seen;

            const auto bytes = platform::StateFile::read(folder() + "/session.json");
            QVERIFY(bytes);
            QString why;
            const auto kept = decodeSession(*bytes, &why);
            QVERIFY2(kept, qPrintable(QString("run %1: %2").arg(run).arg(why)));
            QVERIFY(!kept->clean);
            const QByteArray sum = QCryptographicHash::hash(locations(kept->entries).join('\n').toUtf8(),
                                                            QCryptographicHash::Sha1)
                                       .toHex();
            QVERIFY2(sum == before || sum == after,
                     qPrintable(QString("run %1, change %2").arg(run).arg(seen)));
        }
        QVERIFY(changesSeen >= kRuns);
    }
};

QTEST_MAIN(SessionTest)
#include "test_session.moc"
