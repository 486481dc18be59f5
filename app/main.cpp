// The `reel` command. Handing files to the running player needs only the
// session bus, so this much is all the command links; the player itself is
// loaded as a library once this process is to be one.

#include <dlfcn.h>

#include <QByteArrayList>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/command_line.h"
#include "app/player_entry.h"
#include "platform/file_names.h"
#include "platform/single_instance.h"

namespace {

// Beside the command in the build tree; under the library folder once installed.
std::string playerLibrary() {
    std::error_code failed;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
    const std::filesystem::path here = failed ? std::filesystem::path(".") : self.parent_path();
    const std::filesystem::path built = here / REEL_PLAYER_LIBRARY_NAME;
    if (std::filesystem::exists(built, failed)) return built.string();
    return (here / REEL_PLAYER_LIBRARY_FROM_BINDIR / REEL_PLAYER_LIBRARY_NAME).lexically_normal().string();
}

template <typename Entry>
Entry loadPlayer(const char* symbol) {
    const std::string path = playerLibrary();
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* entry = library ? dlsym(library, symbol) : nullptr;
    if (!entry) std::fprintf(stderr, "reel: cannot load the player from %s: %s\n", path.c_str(), dlerror());
    return reinterpret_cast<Entry>(entry);
}

}  // namespace

int main(int argc, char** argv) {
    reel::CommandLine line = reel::parseCommandLine(argc, argv);
    switch (line.action) {
        case reel::CommandLine::Action::Help:
            reel::printUsage(stdout);
            return 0;
        case reel::CommandLine::Action::Version:
            std::printf("reel %s\n", REEL_VERSION);
            return 0;
        case reel::CommandLine::Action::Wrong:
            std::fprintf(stderr, "reel: %s\n", line.problem.c_str());
            reel::printUsage(stderr);
            return 2;
        case reel::CommandLine::Action::Describe: {
            const auto describe = loadPlayer<reel::Describe>(reel::kDescribeSymbol);
            if (!describe) return 1;
            const reel::DescribeStart start{line.files, line.timing, line.verbose, line.tracks};
            return describe(&start);
        }
        case reel::CommandLine::Action::Player:
            break;
    }

    // Named against this directory, whichever player ends up with them.
    using reel::platform::SingleInstance;
    SingleInstance::Request request;
    request.play = line.play;
    for (const std::string& file : line.files)
        request.paths << QByteArray::fromStdString(reel::platform::absolutePath(file));

    SingleInstance session;
    const SingleInstance::Role role = line.newWindow ? session.claim() : session.handOver(request);
    if (role == SingleInstance::Role::HandedOver) return 0;

    const auto run = loadPlayer<reel::RunPlayer>(reel::kRunPlayerSymbol);
    if (!run) return 1;
    int qtCount = int(line.qtArguments.size());
    line.qtArguments.push_back(nullptr);
    reel::PlayerStart start{&qtCount, line.qtArguments.data(), request.paths, request.play, {}};
    start.serve = [&session](std::function<void(const QByteArrayList&, bool)> receive,
                             std::function<QByteArrayList()> entries) {
        session.serve(
            [receive](const SingleInstance::Request& handed) { receive(handed.paths, handed.play); },
            std::move(entries));
    };
    return run(&start);
}
