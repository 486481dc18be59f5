// The settings file: only VolumeLevel changes, off the main thread; what is no file of ours is left alone.

#include <sys/stat.h>

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

#include "app/app_controller.h"
#include "app/interface.h"
#include "platform/ini_text.h"
#include "platform/preference_file.h"
#include "support/log_recorder.h"
#include "support/media.h"
#include "transport/volume_preference.h"

using namespace reel;
namespace fs = std::filesystem;
using test::slurp;
using test::spit;

namespace {

// Reads a key and waits for the answer, which must not come on the caller's own stack.
std::optional<std::string> readBack(platform::PreferenceFile& file, const char* key) {
    bool answered = false;
    std::optional<std::string> value;
    file.read(key, [&](std::optional<std::string> v) {
        answered = true;
        value = std::move(v);
    });
    if (answered)
        QTest::qFail("answered on the caller's own stack", __FILE__, __LINE__);
    else if (!QTest::qWaitFor([&] { return answered; }, 10000))
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
    void cancel() override { then_ = nullptr; }
    void to(long ms) {
        now_ = std::chrono::milliseconds(ms);
        if (then_ && due_ <= now_) std::exchange(then_, nullptr)();
    }

private:
    std::chrono::milliseconds now_{0}, due_{0};
    std::function<void()> then_;
};

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
        };
        for (const auto& c : cases) {
            QCOMPARE(platform::iniGeneralValue(c.text, "VolumeLevel"), c.before);
            const std::string after = platform::withIniGeneralValue(c.text, "VolumeLevel", "0.5");
            QVERIFY2(after == c.after, c.what);
        }
    }

    // Junk behind a link is kept byte for byte with its permissions; a first settings file makes its folders.
    void junkIsKeptAndLinksAndNewFoldersAreFollowed() {
        test::LogRecorder log;
        const std::string real = at("junk.ini"), link = at("linked/reel.ini"), fresh = at("new/cfg/reel.ini");
        std::string junk(10 << 20, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(junk.data()), junk.size() / 4);
        spit(real, junk);
        ::chmod(real.c_str(), 0640);
        fs::create_directories(at("linked"));
        fs::create_symlink(real, link);
        {
            platform::PreferenceFile linked(link), made(fresh);
            QCOMPARE(readBack(linked, "VolumeLevel"), std::nullopt);
            linked.write("VolumeLevel", "0.5");
            made.write("VolumeLevel", "0.5");
            QVERIFY(linked.finish(platform::PreferenceFile::kFinishWait * 5));
        }
        QVERIFY(fs::is_symlink(link));
        QVERIFY(slurp(real) == "[General]\nVolumeLevel=0.5\n\n" + junk);
        QCOMPARE(fs::status(real).permissions(), fs::perms(0640));
        QCOMPARE(slurp(fresh), std::string("[General]\nVolumeLevel=0.5\n"));
        for (const auto& entry : fs::directory_iterator(dir_.path().toStdString()))
            QVERIFY2(entry.path().filename().string().rfind("junk.ini.", 0) != 0,
                     "a temporary file was left");
        QVERIFY(log.take().empty());
    }

    // What cannot be our file is logged and never touched, and nothing waits on it (a FIFO: below).
    void pathsThatAreNoFileOfOursAreLeftAlone() {
        const std::string base = at("odd/");
        fs::create_directories(base + "folder.ini");
        fs::create_symlink(base + "nothing", base + "dangling.ini");
        fs::create_symlink(base + "loop.ini", base + "loop.ini");
        spit(base + "huge.ini", "[General]\nVolumeLevel=0.3\n");
        fs::resize_file(base + "huge.ini", platform::PreferenceFile::kLargestFile + 1);
        const struct {
            const char* name;
            const char* said;
        } cases[] = {
            {"folder.ini", "is a folder"},
            {"dangling.ini", "is a link to nothing"},
            {"loop.ini", "cannot be read"},
            {"huge.ini", "is larger than"},
        };
        for (const auto& c : cases) {
            test::LogRecorder log;
            const auto look = [path = base + c.name] {
                struct stat info {};
                ::lstat(path.c_str(), &info);
                return std::tuple(info.st_ino, info.st_mode, info.st_size, info.st_mtim.tv_nsec);
            };
            const auto before = look();
            {
                platform::PreferenceFile file(base + c.name);
                QCOMPARE(readBack(file, "VolumeLevel"), std::nullopt);
                file.write("VolumeLevel", "0.5");
                QVERIFY2(file.finish(platform::PreferenceFile::kFinishWait), c.name);
            }
            QVERIFY2(std::get<0>(before) && look() == before, c.name);
            const auto lines = log.take();
            QVERIFY2(lines.size() == 1 && lines[0].find(c.said) != std::string::npos &&
                         lines[0].find("session only") != std::string::npos,
                     c.name);
        }
    }

    // The player with a FIFO for its settings once froze at start; now the volume is kept for the session.
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
            AppController::setFloatValue(c.outlets().volumeSlider, 0.3f);  // nothing waits on it
            QCoreApplication::processEvents();
        }
        QVERIFY(fs::is_fifo(fifo));
        QCOMPARE(log.count("reel.ini"), 1);
        qunsetenv("XDG_CONFIG_HOME");
    }

    // Steps at milliseconds: "a" the file answers with what it holds, "s" a key's step, "d" a drag,
    // "r" its release, "q" quit, "g" the player gone, "-" only time passing.
    void volumesAreStoredAtADragsEndAndAtMostTwiceASecond() {
        const struct {
            const char* what;
            QString steps, written, restored;  // volume@milliseconds
        } cases[] = {
            {"key steps: the first at once, then the last of each half second",
             "a@0 s0.1@0 s0.2@100 s0.3@200 -@499 -@500 s0.4@700 -@1000 s0.5@1200 q@1300",
             "0.1@0 0.3@500 0.4@1000 0.5@1300", ""},
            {"a drag is stored when it ends, however soon",
             "a@0 s0.1@0 d0.2@50 d0.3@100 r0.35@150 d0.4@200 r0.45@250 -@900", "0.1@0 0.35@150 0.45@250", ""},
            {"a drag still under way at quit", "a@0 d0.2@0 d0.3@2000 q@2100", "0.3@2100", ""},
            {"back where it was: nothing to store",
             "a@0 s0.1@0 s0.2@100 s0.1@200 -@600 d0.6@700 r0.1@800 q@900", "0.1@0", ""},
            // Viewing sets the slider's volume again before the answer: no choice of the user's.
            {"the slider set again", "s0.75@0 a0.25@100 s0.25@100 s0.3@200", "0.3@200", "0.25"},
            {"the user was first: stored once the file has answered", "s0.6@0 a0.25@100", "0.6@100", ""},
            {"the answer after the player is gone", "g@0 a0.25@100", "", ""},
        };
        for (const auto& c : cases) {
            std::function<void(std::optional<float>)> answer;
            QStringList written, restored;
            int finished = 0;
            auto clock = std::make_unique<HandClock>();
            HandClock& hand = *clock;
            const auto write = [&](float v) { written << QString("%1@%2").arg(v).arg(hand.now().count()); };
            auto preference = std::make_unique<VolumePreference>(
                VolumePreference::Store{[&](auto a) { answer = std::move(a); }, write, [&] { ++finished; }},
                std::move(clock));
            QObject::connect(preference.get(), &VolumePreference::restored,
                             [&](float v) { restored << QString::number(v); });
            preference->restore(0.75f);  // the slider's volume until the file answers
            QVERIFY2(answer, c.what);
            for (const QString& step : c.steps.split(' ')) {
                const QStringList parts = step.mid(1).split('@');
                const float volume = parts[0].toFloat();
                if (step[0] == 'g') preference.reset();
                if (preference) hand.to(parts[1].toLong());
                if (step[0] == 'a') answer(parts[0].isEmpty() ? std::nullopt : std::optional<float>(volume));
                if (!preference) continue;
                if (step[0] == 's' || step[0] == 'd') preference->changed(volume, step[0] == 'd');
                if (step[0] == 'r') preference->dragEnded(volume);
                if (step[0] == 'q') preference->quit();
            }
            preference.reset();
            QVERIFY2(written.join(' ') == c.written && restored.join(' ') == c.restored && finished == 1,
                     qPrintable(c.what + (": " + written.join(' ') + " / " + restored.join(' '))));
        }
    }
};

QTEST_MAIN(SettingsTest)
#include "test_settings.moc"
