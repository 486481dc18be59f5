#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/describe_command.h"
#include "app/interface.h"

namespace {

void printUsage(std::FILE* out) {
    std::fputs(
        "Usage: reel [--] [FILE...]\n"
        "       reel --describe [--tracks] [--timing] [--verbose] [--] FILE...\n"
        "       reel --help | --version\n"
        "\n"
        "  FILE...      start the player with these movies in the playlist\n"
        "  --describe   print one JSON line per movie file: rate, name, standard, type,\n"
        "               audioType, length, seconds, size, originalSize; files that cannot\n"
        "               be described are named on stderr and make the exit status 1\n"
        "  --tracks     with --describe, add a 'tracks' array: sound and subtitle tracks,\n"
        "               subtitle files found beside the movie included\n"
        "  --timing     with --describe, a line 'timing MICROSECONDS \"FILE\"' per file on stderr\n"
        "  --verbose    with --describe, keep the diagnostic log on stderr\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    bool describe = false;
    reel::DescribeOptions options;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsEnded || arg[0] != '-' || std::strcmp(arg, "-") == 0) {
            files.emplace_back(arg);
        } else if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(arg, "--describe") == 0) {
            describe = true;
        } else if (std::strcmp(arg, "--tracks") == 0) {
            options.tracks = true;
        } else if (std::strcmp(arg, "--timing") == 0) {
            options.timing = true;
        } else if (std::strcmp(arg, "--verbose") == 0) {
            options.verbose = true;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            printUsage(stdout);
            return 0;
        } else if (std::strcmp(arg, "--version") == 0) {
            std::printf("reel %s\n", REEL_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "reel: unknown option %s\n", arg);
            printUsage(stderr);
            return 2;
        }
    }
    if (describe) return reel::describeFiles(files, options, reel::fileOpener());

    // Names go on as the bytes given: not every name a file system holds is text.
    return reel::runApplication(argc, argv, files);
}
