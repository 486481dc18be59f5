#pragma once

#include <QByteArray>
#include <cstdio>
#include <string>
#include <vector>

namespace reel {

// What `reel` was asked to do.
struct CommandLine {
    enum class Action { Player, Describe, Help, Version, Wrong };
    Action action = Action::Player;
    std::vector<std::string> files;
    bool play = false;       // view the first of the files that is added
    bool newWindow = false;  // a player of its own, even when one is running
    bool timing = false;     // with --describe
    bool verbose = false;    // with --describe
    bool tracks = false;     // with --describe
    // The program's name and the arguments meant for Qt: a file may be named
    // like one of Qt's options, so Qt sees nothing else.
    std::vector<char*> qtArguments;
    std::string problem;  // why the command line is Wrong
};

CommandLine parseCommandLine(int argc, char** argv);
void printUsage(std::FILE* out);

}  // namespace reel
