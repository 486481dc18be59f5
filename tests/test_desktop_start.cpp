// What `reel` decides before any window exists: what it was asked, where the
// files are, and which window system to run on.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/window_system.h"

using reel::CommandLine;

namespace {

CommandLine parse(std::vector<std::string> args) {
    static std::vector<std::string> kept;  // the parsed line points into these
    kept = std::move(args);
    kept.insert(kept.begin(), "reel");
    std::vector<char*> argv;
    for (std::string& arg : kept) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return reel::parseCommandLine(int(kept.size()), argv.data());
}

std::vector<std::string> qtSees(const CommandLine& line) {
    return {line.qtArguments.begin(), line.qtArguments.end()};
}

}  // namespace

TEST(CommandLine, FilesOptionsAndWhatQtSees) {
    struct Case {
        std::vector<std::string> args;
        CommandLine::Action action;
        std::vector<std::string> files;
        bool play, newWindow;
        std::vector<std::string> qt;
    };
    const Case cases[] = {
        {{}, CommandLine::Action::Player, {}, false, false, {"reel"}},
        {{"a.mp4", "b.avi"}, CommandLine::Action::Player, {"a.mp4", "b.avi"}, false, false, {"reel"}},
        {{"--play", "a.mp4"}, CommandLine::Action::Player, {"a.mp4"}, true, false, {"reel"}},
        {{"a.mp4", "--new-window"}, CommandLine::Action::Player, {"a.mp4"}, false, true, {"reel"}},
        // After --, what looks like an option is a file, Qt's included.
        {{"--", "--play", "-platform", "-"},
         CommandLine::Action::Player,
         {"--play", "-platform", "-"},
         false,
         false,
         {"reel"}},
        {{"-platform", "wayland", "x.mov"},
         CommandLine::Action::Player,
         {"x.mov"},
         false,
         false,
         {"reel", "-platform", "wayland"}},
        {{"--platform", "xcb", "--play"},
         CommandLine::Action::Player,
         {},
         true,
         false,
         {"reel", "--platform", "xcb"}},
        {{"--describe", "--timing", "a.dv"}, CommandLine::Action::Describe, {"a.dv"}, false, false, {"reel"}},
        {{"a.mp4", "--version"}, CommandLine::Action::Version, {"a.mp4"}, false, false, {"reel"}},
        {{"-h"}, CommandLine::Action::Help, {}, false, false, {"reel"}},
        {{"--plya", "a.mp4"}, CommandLine::Action::Wrong, {}, false, false, {"reel"}},
        {{"a.mp4", "-platform"}, CommandLine::Action::Wrong, {"a.mp4"}, false, false, {"reel"}},
        // Qt's other options are not passed on: they would reach Qt alone.
        {{"-style", "fusion"}, CommandLine::Action::Wrong, {}, false, false, {"reel"}},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args) shown += arg + " ";
        SCOPED_TRACE(shown);
        const CommandLine line = parse(c.args);
        EXPECT_EQ(line.action, c.action);
        EXPECT_EQ(line.files, c.files);
        EXPECT_EQ(line.play, c.play);
        EXPECT_EQ(line.newWindow, c.newWindow);
        EXPECT_EQ(qtSees(line), c.qt);
        EXPECT_EQ(line.problem.empty(), c.action != CommandLine::Action::Wrong);
    }
    const CommandLine timed = parse({"--describe", "--verbose", "--timing", "x"});
    EXPECT_TRUE(timed.timing);
    EXPECT_TRUE(timed.verbose);
    EXPECT_NE(parse({"a.mp4", "-platform"}).problem.find("-platform"), std::string::npos);
}

TEST(AbsoluteFileName, MadeAgainstTheWorkingDirectoryByName) {
    struct Case {
        const char *name, *here, *expected;
    };
    const Case cases[] = {
        {"a.mp4", "/home/me", "/home/me/a.mp4"},
        {"./a.mp4", "/home/me", "/home/me/a.mp4"},
        {"../films/a.mp4", "/home/me", "/home/films/a.mp4"},
        {"../../../../a.mp4", "/home/me", "/a.mp4"},  // no higher than the root
        {"dir//sub/./x.vob", "/w", "/w/dir/sub/x.vob"},
        {"/abs/../b.mov", "/ignored", "/b.mov"},
        {"/", "/w", "/"},
        {"x.mpg", "/", "/x.mpg"},
        {"-dash.mov", "/w", "/w/-dash.mov"},
        {"trailing/", "/w", "/w/trailing"},
        {"..", "/w/x", "/w"},
        // Bytes that are not UTF-8 stay as they are.
        {"caf\xe9.avi", "/d\xff", "/d\xff/caf\xe9.avi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reel::absoluteFileName(c.name, c.here), QByteArray(c.expected));
    }
}

TEST(WindowSystem, EnvironmentAndArguments) {
    using reel::platform::WindowSystem;
    struct Case {
        const char *platform, *wayland, *display;
        std::vector<std::string> args;
        WindowSystem expected;
        const char* set;  // QT_QPA_PLATFORM afterwards
    };
    const Case cases[] = {
        {nullptr, "wayland-0", ":0", {}, WindowSystem::XWayland, "xcb;wayland"},
        {nullptr, "wayland-0", nullptr, {}, WindowSystem::Wayland, "wayland"},
        {nullptr, "wayland-0", "", {}, WindowSystem::Wayland, "wayland"},
        {nullptr, nullptr, ":0", {}, WindowSystem::AsGiven, nullptr},
        {"offscreen", "wayland-0", ":0", {}, WindowSystem::AsGiven, "offscreen"},
        {nullptr, "wayland-0", ":0", {"-platform", "wayland"}, WindowSystem::AsGiven, nullptr},
        {nullptr, "wayland-0", nullptr, {"--platform", "xcb"}, WindowSystem::AsGiven, nullptr},
    };
    const auto put = [](const char* name, const char* value) {
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.wayland ? c.wayland : "-") + " " + (c.display ? c.display : "-"));
        put("QT_QPA_PLATFORM", c.platform);
        put("WAYLAND_DISPLAY", c.wayland);
        put("DISPLAY", c.display);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "reel");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        EXPECT_EQ(reel::platform::chooseWindowSystem(int(args.size()), argv.data()), c.expected);
        if (c.set)
            EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray(c.set));
        else
            EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));
    }
}

TEST(WindowSystem, TheLogSaysWhenXWaylandWasWantedButQtFellBackToWayland) {
    using reel::platform::WindowSystem;
    EXPECT_EQ(reel::platform::windowSystemReport(WindowSystem::AsGiven, "xcb"), "");
    const std::string fellBack = reel::platform::windowSystemReport(WindowSystem::XWayland, "wayland");
    EXPECT_NE(fellBack.find("the X server did not answer"), std::string::npos) << fellBack;
}
