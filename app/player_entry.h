#pragma once

// Between the `reel` command and the player it loads. The command itself
// links only what handing files over needs, so that handing over is quick;
// the player (windows, movie toolbox, libmpv and their many libraries) is a
// library it loads once it knows it will be one, or must describe files.

#include <QByteArrayList>
#include <functional>
#include <string>
#include <vector>

namespace reel {

// Called once the player is ready to take files from other Reels: `receive`
// takes each request, `entries` lists the playlist.
using ServeFiles = std::function<void(std::function<void(const QByteArrayList& paths, bool play)> receive,
                                      std::function<QByteArrayList()> entries)>;

struct PlayerStart {
    int* argc;  // the program's name and what Qt is to see
    char** argv;
    QByteArrayList files;  // absolute
    bool play = false;
    ServeFiles serve;
};

struct DescribeStart {
    std::vector<std::string> files;
    bool timing = false;
    bool verbose = false;
    bool tracks = false;
};

using RunPlayer = int (*)(const PlayerStart*);
using Describe = int (*)(const DescribeStart*);
inline constexpr const char* kRunPlayerSymbol = "reel_run_player";
inline constexpr const char* kDescribeSymbol = "reel_describe";

}  // namespace reel
