// The settings file: only VolumeLevel changes, off the main thread, and a
// path that is no file of ours is left alone without holding anything up.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

#include "app/app_controller.h"
#include "app/interface.h"
#include "platform/ini_text.h"
#include "platform/log.h"
#include "platform/preference_file.h"
#include "support/log_recorder.h"
#include "support/media.h"
#include "transport/volume_preference.h"

using namespace reel;
namespace fs = std::filesystem;

namespace {

using test::slurp;
using test::spit;

// Reads a key and waits for the answer, which never comes inside read().
std::optional<std::string> readBack(platform::PreferenceFile& file, const char* key) {
    bool answered = false;
    std::optional<std::string> value;
    file.read(key, [&](std::optional<std::string> v) {
        answered = true;
        value = std::move(v);
    });
    if (answered) {
        QTest::qFail("answered on the caller's own stack", __FILE__, __LINE__);
        return value;
    }
    if (!QTest::qWaitFor([&] { return answered; }, 10000))
        QTest::qFail("no answer from the settings file", __FILE__, __LINE__);
    return value;
}

// A clock the test turns: the throttle's call comes when the test says the time has come.
class HandClock : public VolumePreference::Clock {
public:
    std::chrono::milliseconds now() const override { return now_; }
    void callAfter(std::chrono::milliseconds after, std::function<void()> then) override {
        due_ = now_ + after;
        then_ = std::move(then);
    }
    void cancel() override {
        due_.reset();
        then_ = nullptr;
    }
    void to(std::chrono::milliseconds t) {
        now_ = t;
        if (due_ && *due_ <= now_) {
            due_.reset();
            auto then = std::move(then_);
            then();
        }
    }

private:
    std::chrono::milliseconds now_{0};
    std::optional<std::chrono::milliseconds> due_;
    std::function<void()> then_;
};

struct Written {
    long at;  // milliseconds
    float volume;
    bool operator==(const Written&) const = default;
};

QString shown(const std::vector<Written>& writes) {
    QStringList out;
    for (const Written& w : writes) out << QString("%1@%2").arg(double(w.volume)).arg(w.at);
    return out.join(' ');
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::string at(const char* name) { return dir_.filePath(name).toStdString(); }

private slots:
    void onlyTheKeysLineChanges() {
        const struct {
            const char* what;
            std::string text;
            std::optional<std::string> before;
            std::string after;  // with VolumeLevel set to 0.5
        } cases[] = {
            {"nothing yet", "", std::nullopt, "[General]\nVolumeLevel=0.5\n"},
            {"as QSettings writes it", "[General]\nOther=3\nVolumeLevel=0.25\n\n[Grp]\nKey=x\n", "0.25",
             "[General]\nOther=3\nVolumeLevel=0.5\n\n[Grp]\nKey=x\n"},
            {"no group, as QSettings also reads", "VolumeLevel=0.3\n[Grp]\nKey=x\n", "0.3",
             "VolumeLevel=0.5\n[Grp]\nKey=x\n"},
            {"spaces, quotes, Windows line ends", "[general]\r\n  VolumeLevel = \"0.3\"  \r\nA=1\r\n", "0.3",
             "[general]\r\n  VolumeLevel = 0.5  \r\nA=1\r\n"},
            {"twice: the last counts, both change", "[General]\nVolumeLevel=0.1\nVolumeLevel=0.2\n", "0.2",
             "[General]\nVolumeLevel=0.5\nVolumeLevel=0.5\n"},
            {"another group's key is not ours", "[Grp]\nVolumeLevel=0.9\n", std::nullopt,
             "[General]\nVolumeLevel=0.5\n\n[Grp]\nVolumeLevel=0.9\n"},
            {"the group without the key, unended", "; note\n[General]\nA=1\n\n[B]\nC=2", std::nullopt,
             "; note\n[General]\nA=1\nVolumeLevel=0.5\n\n[B]\nC=2"},
            {"the group last, without a line end", "[B]\nC=2\n[General]\nA=1", std::nullopt,
             "[B]\nC=2\n[General]\nA=1\nVolumeLevel=0.5\n"},
            {"a longer key is another key", "[General]\nVolumeLevels=0.1\n", std::nullopt,
             "[General]\nVolumeLevels=0.1\nVolumeLevel=0.5\n"},
            {"junk", std::string("\x00\xff[Gen\neral]\n=\n\x89PNG\r\n", 20), std::nullopt,
             "[General]\nVolumeLevel=0.5\n\n" + std::string("\x00\xff[Gen\neral]\n=\n\x89PNG\r\n", 20)},
        };
        for (const auto& c : cases) {
            QCOMPARE(platform::iniGeneralValue(c.text, "VolumeLevel"), c.before);
            const std::string after = platform::withIniGeneralValue(c.text, "VolumeLevel", "0.5");
            QVERIFY2(after == c.after, c.what);
            QCOMPARE(platform::iniGeneralValue(after, "VolumeLevel"), std::optional<std::string>("0.5"));
        }
    }

    // QSettings is the reader earlier versions used; what is written here reads back there.
    void anotherProgramsKeysStayAndItReadsOurs() {
        const std::string path = at("qsettings/reel.ini");
        {
            QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
            settings.setValue("VolumeLevel", 0.25f);
            settings.setValue("Window/Geometry", QRect(1, 2, 3, 4));
            settings.setValue("Recent", QStringList{"a b", "c,d"});
        }
        const std::string before = slurp(path);
        {
            platform::PreferenceFile file(path);
            QCOMPARE(readBack(file, "VolumeLevel"), std::optional<std::string>("0.25"));
            file.write("VolumeLevel", "0.5");
        }
        const std::string after = slurp(path);
        std::string expected = before;
        expected.replace(expected.find("VolumeLevel=0.25"), 16, "VolumeLevel=0.5");
        QCOMPARE(after, expected);
        QCOMPARE(QSettings(QString::fromStdString(path), QSettings::IniFormat).value("VolumeLevel").toFloat(),
                 0.5f);
    }

    void tenMegabytesOfJunkAreKeptByteForByte() {
        const std::string path = at("junk.ini");
        std::string junk(10 << 20, '\0');
        auto* random = QRandomGenerator::global();
        for (char& c : junk) c = char(random->bounded(256));
        spit(path, junk);
        chmod(path.c_str(), 0640);
        {
            platform::PreferenceFile file(path);
            QCOMPARE(readBack(file, "VolumeLevel"), std::nullopt);
            file.write("VolumeLevel", "0.5");
            QVERIFY(file.finish(platform::PreferenceFile::kFinishWait * 5));
        }
        QVERIFY(slurp(path) == "[General]\nVolumeLevel=0.5\n\n" + junk);
        struct stat info {};
        QCOMPARE(::stat(path.c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0640u);  // the file keeps its permissions
        for (const auto& entry : fs::directory_iterator(dir_.path().toStdString()))
            QVERIFY2(entry.path().filename().string().rfind("junk.ini.", 0) != 0,
                     "a temporary file was left");
    }

    void aLinkIsWrittenThroughAndANewFolderIsMade() {
        test::LogRecorder log;
        const std::string real = at("elsewhere.ini");
        spit(real, "[General]\nVolumeLevel=0.1\n");
        const std::string link = at("linked/reel.ini");
        fs::create_directories(at("linked"));
        fs::create_symlink(real, link);
        const std::string fresh = at("new/config/reel/reel.ini");
        {
            platform::PreferenceFile linked(link), made(fresh);
            linked.write("VolumeLevel", "0.5");
            made.write("VolumeLevel", "0.5");
        }
        QVERIFY(fs::is_symlink(link));
        QCOMPARE(slurp(real), std::string("[General]\nVolumeLevel=0.5\n"));
        QCOMPARE(slurp(fresh), std::string("[General]\nVolumeLevel=0.5\n"));
        QVERIFY(log.take().empty());
    }

    // What cannot be our file is logged and never touched, and nothing waits on it.
    void pathsThatAreNoFileOfOursAreLeftAlone() {
        const std::string base = at("odd/");
        fs::create_directories(base + "folder.ini");
        ::mkfifo((base + "fifo.ini").c_str(), 0644);
        fs::create_symlink(base + "nothing", base + "dangling.ini");
        fs::create_symlink(base + "loop.ini", base + "loop.ini");
        spit(base + "plain", "x");
        spit(base + "huge.ini", "[General]\nVolumeLevel=0.3\n");
        fs::resize_file(base + "huge.ini", platform::PreferenceFile::kLargestFile + 1);
        spit(base + "locked.ini", "[General]\nVolumeLevel=0.3\n");
        ::chmod((base + "locked.ini").c_str(), 0);
        const struct {
            const char* name;
            const char* said;
        } cases[] = {
            {"fifo.ini", "is a FIFO"},
            {"folder.ini", "is a folder"},
            {"dangling.ini", "is a link to nothing"},
            {"loop.ini", "cannot be read"},
            {"plain/reel.ini", "cannot be read"},  // under a file
            {"huge.ini", "is larger than"},
            {"locked.ini", "cannot be read"},
        };
        for (const auto& c : cases) {
            if (std::string_view(c.name) == "locked.ini" && ::geteuid() == 0)
                continue;  // root reads anything
            test::LogRecorder log;
            const std::string path = base + c.name;
            struct stat before {};
            const int existed = ::lstat(path.c_str(), &before);
            {
                platform::PreferenceFile file(path);
                QCOMPARE(readBack(file, "VolumeLevel"), std::nullopt);
                file.write("VolumeLevel", "0.5");
                QVERIFY2(file.finish(platform::PreferenceFile::kFinishWait), c.name);
            }
            struct stat after {};
            QCOMPARE(::lstat(path.c_str(), &after), existed);
            QVERIFY2(existed != 0 ||
                         (after.st_ino == before.st_ino && after.st_mode == before.st_mode &&
                          after.st_size == before.st_size && after.st_mtim.tv_nsec == before.st_mtim.tv_nsec),
                     c.name);
            const auto lines = log.take();
            QVERIFY2(lines.size() == 1 && lines[0].find(c.said) != std::string::npos &&
                         lines[0].find("session only") != std::string::npos,
                     c.name);
        }
    }

    // The whole player with a FIFO for its settings: it starts, the volume
    // works for the session, it ends, and the FIFO is still a FIFO.
    void thePlayerStartsWithAFifoForItsSettings() {
        test::LogRecorder log;
        QTemporaryDir config;
        QVERIFY(QDir().mkpath(config.filePath("reel")));
        const std::string fifo = config.filePath("reel/reel.ini").toStdString();
        QCOMPARE(::mkfifo(fifo.c_str(), 0644), 0);
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        {
            Interface ui;
            AppController& c = ui.controller();
            c.applicationDidFinishLaunching();
            QTRY_VERIFY(log.count("is a FIFO"));
            QCOMPARE(AppController::floatValue(c.outlets().volumeSlider), 0.75f);
            AppController::setFloatValue(c.outlets().volumeSlider, 0.3f);
            QCoreApplication::processEvents();
            QCOMPARE(AppController::floatValue(c.outlets().volumeSlider), 0.3f);
        }
        struct stat info {};
        QCOMPARE(::lstat(fifo.c_str(), &info), 0);
        QVERIFY(S_ISFIFO(info.st_mode));
        QCOMPARE(log.count("reel.ini"), 1);
        qunsetenv("XDG_CONFIG_HOME");
    }

    // When volumes are written, by the hand of a clock the test turns.
    void volumesAreStoredAtADragsEndAndAtMostTwiceASecond() {
        using Step = std::function<void(VolumePreference&, HandClock&)>;
        const auto at = [](long ms, Step step) -> Step {
            return [ms, step](VolumePreference& p, HandClock& clock) {
                clock.to(std::chrono::milliseconds(ms));
                step(p, clock);
            };
        };
        const auto set = [](float v) -> Step {
            return [v](VolumePreference& p, HandClock&) { p.changed(v, false); };
        };
        const auto drag = [](float v) -> Step {
            return [v](VolumePreference& p, HandClock&) { p.changed(v, true); };
        };
        const auto release = [](float v) -> Step {
            return [v](VolumePreference& p, HandClock&) { p.dragEnded(v); };
        };
        const Step nothing = [](VolumePreference&, HandClock&) {};
        const Step quit = [](VolumePreference& p, HandClock&) { p.quit(); };
        const struct {
            const char* what;
            std::vector<Step> steps;
            std::vector<Written> written;
        } cases[] = {
            {"key steps: the first at once, then the last of each half second",
             {at(0, set(0.1f)), at(100, set(0.2f)), at(200, set(0.3f)), at(499, nothing), at(500, nothing),
              at(700, set(0.4f)), at(1000, nothing), at(1200, set(0.5f)), at(1300, quit)},
             {{0, 0.1f}, {500, 0.3f}, {1000, 0.4f}, {1300, 0.5f}}},
            {"a drag is stored when it ends, however soon",
             {at(0, set(0.1f)), at(50, drag(0.2f)), at(100, drag(0.3f)), at(150, release(0.35f)),
              at(200, drag(0.4f)), at(250, release(0.45f)), at(900, nothing)},
             {{0, 0.1f}, {150, 0.35f}, {250, 0.45f}}},
            {"a drag still under way at quit",
             {at(0, drag(0.2f)), at(2000, drag(0.3f)), at(2100, quit)},
             {{2100, 0.3f}}},
            {"back where it was: nothing to store",
             {at(0, set(0.1f)), at(100, set(0.2f)), at(200, set(0.1f)), at(600, nothing), at(700, drag(0.6f)),
              at(800, release(0.1f)), at(900, quit)},
             {{0, 0.1f}}},
        };
        for (const auto& c : cases) {
            std::vector<Written> written;
            int finished = 0;
            auto clock = std::make_unique<HandClock>();
            HandClock& hand = *clock;
            {
                VolumePreference::Store store;
                store.read = [](auto) {};
                store.write = [&](float v) { written.push_back({long(hand.now().count()), v}); };
                store.finish = [&] { ++finished; };
                VolumePreference preference(store, std::move(clock));
                for (const Step& step : c.steps) step(preference, hand);
            }
            QVERIFY2(written == c.written, qPrintable(QString(c.what) + ": " + shown(written)));
            QVERIFY2(finished == 1, c.what);
        }
    }

    void theStoredVolumeComesBackUnlessTheUserWasFirst() {
        const struct {
            const char* what;
            std::vector<float> before;  // the slider's changes before the file answers
            std::optional<float> answer;
            std::vector<float> after;
            std::vector<float> restored, written;
            bool gone = false;  // the player is gone before the answer
        } cases[] = {
            // Viewing sets the slider's volume again before the answer: no choice of the user's.
            {"the slider set again", {0.75f}, 0.25f, {0.25f, 0.3f}, {0.25f}, {0.3f}},
            {"the user was first", {0.6f}, 0.25f, {}, {}, {0.6f}},
            {"nothing stored", {}, std::nullopt, {}, {}, {}},
            {"the answer after the player is gone", {}, 0.25f, {}, {}, {}, true},
        };
        for (const auto& c : cases) {
            std::function<void(std::optional<float>)> answer;
            std::vector<float> restored, written;
            VolumePreference::Store store;
            store.read = [&](auto a) { answer = std::move(a); };
            store.write = [&](float v) { written.push_back(v); };
            auto preference = std::make_unique<VolumePreference>(store, std::make_unique<HandClock>());
            QObject::connect(preference.get(), &VolumePreference::restored,
                             [&](float v) { restored.push_back(v); });
            preference->restore(0.75f);
            QVERIFY2(answer, c.what);
            for (float v : c.before) preference->changed(v, false);
            QVERIFY2(written.empty(), c.what);  // not before the file has answered
            if (c.gone) preference.reset();
            answer(c.answer);
            for (float v : c.after) preference->changed(v, false);
            QVERIFY2(restored == c.restored && written == c.written, c.what);
        }
    }
};

QTEST_MAIN(SettingsTest)
#include "test_settings.moc"
