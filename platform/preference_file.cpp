#include "platform/preference_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QMetaObject>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ini_text.h"
#include "platform/log.h"

namespace reel::platform {

namespace {

struct Contents {
    bool usable = true;  // the path is a regular file that could be read, or nothing at all
    std::string text;
    std::string why;  // when not usable
};

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "is a folder";
    if (S_ISFIFO(mode)) return "is a FIFO";
    if (S_ISSOCK(mode)) return "is a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device";
    return "is not a regular file";
}

Contents readContents(const std::string& path) {
    // Non-blocking: opening a FIFO would otherwise wait for a writer for good.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(path.c_str(), &link) == 0) return {false, {}, "is a link to nothing"};
        if (error == ENOENT) return {};  // never written: nothing stored yet
        return {false, {}, std::string("cannot be read (") + std::strerror(error) + ")"};
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return {false, {}, std::string("cannot be read (") + std::strerror(errno) + ")"};
    if (!S_ISREG(info.st_mode)) return {false, {}, kindOf(info.st_mode)};
    const auto tooLarge = [] {
        return Contents{
            false, {}, "is larger than " + std::to_string(PreferenceFile::kLargestFile >> 20) + " MB"};
    };
    if (std::uint64_t(info.st_size) > PreferenceFile::kLargestFile) return tooLarge();
    Contents contents;
    char buffer[64 << 10];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return {false, {}, std::string("cannot be read (") + std::strerror(errno) + ")"};
        if (got == 0) break;
        contents.text.append(buffer, std::size_t(got));
        if (contents.text.size() > PreferenceFile::kLargestFile) return tooLarge();  // it grew meanwhile
    }
    return contents;
}

bool writeAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return false;
        done += std::size_t(wrote);
    }
    return true;
}

// Replaces the file at `path` with `text` in one step. A link is followed,
// so that a settings file kept elsewhere and linked here stays so.
bool replaceContents(const std::string& path, const std::string& text, std::string* why) {
    std::string target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved)) return *why = "is a link to nothing", false;
        target = resolved;
    }
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    // Folders are made as they are for the first settings of a new account.
    for (std::size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1))
        ::mkdir(folder.substr(0, at).c_str(), 0700);
    ::mkdir(folder.c_str(), 0700);

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) return *why = kindOf(old.st_mode), false;

    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return *why = std::string("cannot be written (") + std::strerror(errno) + ")", false;
    const bool written =
        ::fchmod(fd, existed ? (old.st_mode & 07777) : 0644) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        const int failed = written ? errno : error;
        ::unlink(temporary.c_str());
        return *why = std::string("cannot be written (") + std::strerror(failed) + ")", false;
    }
    // The rename itself is on disk only once the folder is.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace

std::string settingsPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home ? home : "") + "/.config";
    }
    return folder + "/reel/reel.ini";
}

struct PreferenceFile::Shared {
    const std::string path;
    std::mutex mutex;
    std::condition_variable wake, idle;
    std::deque<std::pair<std::string, Answer>> reads;
    std::map<std::string, std::string> writes;
    bool working = false;
    bool stopping = false;
    bool unusable = false;            // once found so, the file is left alone for the session
    PreferenceFile* owner = nullptr;  // cleared when the owner goes: answers then go nowhere

    explicit Shared(std::string p) : path(std::move(p)) {}

    void giveUp(const std::string& why) {
        if (unusable) return;
        unusable = true;
        log("settings file " + path + " " + why + ": left as it is, settings kept for this session only");
    }

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stopping || !reads.empty() || !writes.empty(); });
            if (reads.empty() && writes.empty()) return;
            working = true;
            auto readsNow = std::move(reads);
            auto writesNow = std::move(writes);
            reads.clear();
            writes.clear();
            const bool skip = unusable;
            lock.unlock();

            Contents contents;
            if (!skip) contents = readContents(path);
            std::vector<std::pair<Answer, std::optional<std::string>>> answers;
            for (auto& [key, answer] : readsNow)
                answers.emplace_back(std::move(answer),
                                     contents.usable ? iniGeneralValue(contents.text, key) : std::nullopt);
            std::string why = contents.why;
            if (!skip && contents.usable && !writesNow.empty()) {
                std::string text = contents.text;
                for (const auto& [key, value] : writesNow) text = withIniGeneralValue(text, key, value);
                if (text != contents.text && !replaceContents(path, text, &why)) contents.usable = false;
            }

            lock.lock();
            if (!skip && !contents.usable) giveUp(why);
            if (owner) {
                for (auto& [answer, value] : answers)
                    QMetaObject::invokeMethod(
                        owner, [answer = std::move(answer), value = std::move(value)] { answer(value); },
                        Qt::QueuedConnection);
            }
            working = false;
            idle.notify_all();
        }
    }
};

PreferenceFile::PreferenceFile(std::string path, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>(std::move(path))) {
    shared_->owner = this;
    // The thread holds the shared state, so it may outlive this object if the file stalls it.
    worker_ = std::thread([shared = shared_] { shared->run(); });
}

PreferenceFile::~PreferenceFile() {
    const bool done = finish(kFinishWait);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->owner = nullptr;
        shared_->stopping = true;
        shared_->wake.notify_all();
    }
    if (done)
        worker_.join();
    else
        worker_.detach();  // stuck in the file system: it ends when that lets go, or with the process
}

void PreferenceFile::read(std::string key, Answer answer) {
    std::lock_guard lock(shared_->mutex);
    shared_->reads.emplace_back(std::move(key), std::move(answer));
    shared_->wake.notify_all();
}

void PreferenceFile::write(std::string key, std::string value) {
    std::lock_guard lock(shared_->mutex);
    shared_->writes[std::move(key)] = std::move(value);
    shared_->wake.notify_all();
}

bool PreferenceFile::finish(std::chrono::milliseconds limit) {
    std::unique_lock lock(shared_->mutex);
    return shared_->idle.wait_for(
        lock, limit, [&] { return !shared_->working && shared_->reads.empty() && shared_->writes.empty(); });
}

}  // namespace reel::platform
