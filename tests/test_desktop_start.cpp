// What `reel` decides before any window exists: what it was asked, and which window system to use.

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

// The parsed line in a few words: the action, the files, the switches, then what Qt is given.
std::string shown(const CommandLine& line) {
    static const char* const kActions[] = {"player", "describe", "help", "version", "wrong"};
    std::string text = kActions[int(line.action)];
    for (const std::string& file : line.files) text += " " + file;
    if (line.play) text += " +play";
    if (line.newWindow) text += " +new";
    text += " |";
    for (const char* arg : line.qtArguments) text += std::string(" ") + arg;
    return text;
}

}  // namespace

TEST(CommandLine, FilesOptionsAndWhatQtSees) {
    const struct {
        std::vector<std::string> args;
        const char* parsed;
    } cases[] = {
        {{"a.mp4", "b.avi"}, "player a.mp4 b.avi | reel"},
        {{"--play", "a.mp4", "--new-window"}, "player a.mp4 +play +new | reel"},
        // After --, what looks like an option is a file, Qt's included.
        {{"--", "--play", "-platform", "-"}, "player --play -platform - | reel"},
        {{"--platform", "xcb", "--play"}, "player +play | reel --platform xcb"},
        {{"--describe", "--timing", "a.dv"}, "describe a.dv | reel"},
        {{"a.mp4", "--version"}, "version a.mp4 | reel"},
        {{"-h"}, "help | reel"},
        {{"--plya", "a.mp4"}, "wrong | reel"},  // Qt's other options too: they would reach Qt alone
        {{"a.mp4", "-platform"}, "wrong a.mp4 | reel"},
    };
    for (const auto& c : cases) {
        const CommandLine line = parse(c.args);
        EXPECT_EQ(shown(line), c.parsed);
        EXPECT_EQ(line.problem.empty(), line.action != CommandLine::Action::Wrong) << c.parsed;
    }
    EXPECT_NE(parse({"a.mp4", "-platform"}).problem.find("-platform"), std::string::npos);
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
        EXPECT_EQ(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"), c.set != nullptr);
        EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray(c.set));
    }
    // The log says when XWayland was wanted but Qt fell back to Wayland.
    EXPECT_EQ(reel::platform::windowSystemReport(WindowSystem::AsGiven, "xcb"), "");
    const std::string fellBack = reel::platform::windowSystemReport(WindowSystem::XWayland, "wayland");
    EXPECT_NE(fellBack.find("the X server did not answer"), std::string::npos) << fellBack;
}
