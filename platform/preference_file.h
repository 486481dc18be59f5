#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace reel::platform {

// Where the player keeps its settings: $XDG_CONFIG_HOME/reel/reel.ini
// ($HOME/.config when XDG_CONFIG_HOME is not set).
std::string settingsPath();

// The settings file, read and written on a thread of its own so that the
// windows never wait on it: a FIFO, a file on a stalled disk or ten
// megabytes of junk cannot hold them up. Only the keys written change; the
// rest of the file is kept byte for byte (see ini_text.h), and a new file
// replaces the old in one step (written beside it, synced, renamed over it).
//
// A path that is not a regular file (a FIFO, a folder, a link to nothing)
// or that cannot be read is logged and left as it is: nothing is written to
// it for the rest of the session, and reads answer that nothing is stored.
class PreferenceFile : public QObject {
    Q_OBJECT
public:
    explicit PreferenceFile(std::string path, QObject* parent = nullptr);
    // Waits for what was asked to be done, but not for longer than kFinishWait.
    ~PreferenceFile() override;

    using Answer = std::function<void(std::optional<std::string> value)>;
    // The key's value in [General], handed to `answer` on this object's thread.
    void read(std::string key, Answer answer);
    // Sets the key in [General]. A write still waiting gives way to a newer one of the same key.
    void write(std::string key, std::string value);
    // Waits until everything asked so far is done; false when `limit` ran out first.
    bool finish(std::chrono::milliseconds limit);

    static constexpr std::chrono::milliseconds kFinishWait{2000};
    // Settings files are small; past this the file is not ours to rewrite.
    static constexpr std::size_t kLargestFile = 32 << 20;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

}  // namespace reel::platform
