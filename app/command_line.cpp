#include "app/command_line.h"

#include <cstring>

namespace reel {

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine line;
    line.qtArguments.push_back(argv[0]);
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const auto is = [arg](const char* option) { return std::strcmp(arg, option) == 0; };
        if (optionsEnded || arg[0] != '-' || is("-")) {
            line.files.emplace_back(arg);
        } else if (is("--")) {
            optionsEnded = true;
        } else if (is("--describe")) {
            line.action = CommandLine::Action::Describe;
        } else if (is("--timing")) {
            line.timing = true;
        } else if (is("--tracks")) {
            line.tracks = true;
        } else if (is("--verbose")) {
            line.verbose = true;
        } else if (is("--play")) {
            line.play = true;
        } else if (is("--new-window")) {
            line.newWindow = true;
        } else if (is("-platform") || is("--platform")) {
            if (i + 1 == argc) {
                line.action = CommandLine::Action::Wrong;
                line.problem = std::string(arg) + " needs a platform name";
                return line;
            }
            line.qtArguments.push_back(argv[i]);
            line.qtArguments.push_back(argv[++i]);
        } else if (is("--help") || is("-h")) {
            line.action = CommandLine::Action::Help;
            return line;
        } else if (is("--version")) {
            line.action = CommandLine::Action::Version;
            return line;
        } else {
            line.action = CommandLine::Action::Wrong;
            line.problem = std::string("unknown option ") + arg;
            return line;
        }
    }
    return line;
}

void printUsage(std::FILE* out) {
    std::fputs(
        "Usage: reel [--play] [--new-window] [-platform NAME] [--] [FILE...]\n"
        "       reel --describe [--tracks] [--timing] [--verbose] [--] FILE...\n"
        "       reel --help | --version\n"
        "\n"
        "  FILE...      add these movies to the playlist: the running player's, which\n"
        "               takes them and lets this command end, or a new player's\n"
        "  --play       also view the first of the files that is added\n"
        "  --new-window start a player of its own even when one is running\n"
        "  -platform    the Qt platform to run on (xcb, wayland), as QT_QPA_PLATFORM\n"
        "  --describe   print one JSON line per movie file: rate, name, standard, type,\n"
        "               audioType, length, seconds, size, originalSize; files that cannot\n"
        "               be described are named on stderr and make the exit status 1\n"
        "  --tracks     with --describe, add a 'tracks' array: sound and subtitle tracks,\n"
        "               subtitle files found beside the movie included\n"
        "  --timing     with --describe, a line 'timing MICROSECONDS \"FILE\"' per file on stderr\n"
        "  --verbose    with --describe, keep the diagnostic log on stderr\n",
        out);
}

}  // namespace reel
