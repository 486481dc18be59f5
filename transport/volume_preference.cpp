#include "transport/volume_preference.h"

#include <QElapsedTimer>
#include <QTimer>
#include <charconv>
#include <cmath>
#include <string>

#include "platform/preference_file.h"

namespace reel {

namespace {

class SteadyClock : public VolumePreference::Clock {
public:
    SteadyClock() {
        started_.start();
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto then = std::move(then_)) then();
        });
    }
    std::chrono::milliseconds now() const override { return std::chrono::milliseconds(started_.elapsed()); }
    void callAfter(std::chrono::milliseconds after, std::function<void()> then) override {
        then_ = std::move(then);
        timer_.start(after);
    }
    void cancel() override {
        timer_.stop();
        then_ = nullptr;
    }

private:
    QElapsedTimer started_;
    QTimer timer_;
    std::function<void()> then_;
};

// The file holds text: the shortest that reads back as the same float, in
// C's form whatever the locale, as QSettings writes and reads it.
std::string text(float volume) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, volume).ptr;
    return std::string(buffer, end);
}

std::optional<float> number(const std::string& text) {
    float value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace

std::unique_ptr<VolumePreference::Clock> VolumePreference::steadyClock() {
    return std::make_unique<SteadyClock>();
}

VolumePreference::Store VolumePreference::fileStore(std::shared_ptr<platform::PreferenceFile> file) {
    Store store;
    store.read = [file](std::function<void(std::optional<float>)> answer) {
        file->read(kKey, [answer = std::move(answer)](std::optional<std::string> value) {
            answer(value ? number(*value) : std::nullopt);
        });
    };
    store.write = [file](float volume) { file->write(kKey, text(volume)); };
    store.finish = [file] { file->finish(platform::PreferenceFile::kFinishWait); };
    return store;
}

VolumePreference::VolumePreference(Store store, std::unique_ptr<Clock> clock, QObject* parent)
    : QObject(parent), store_(std::move(store)), clock_(std::move(clock)) {}

VolumePreference::~VolumePreference() {
    *alive_ = false;
    quit();
}

void VolumePreference::restore(float current) {
    asking_ = true;
    atStart_ = current;
    // The answer may come after this object is gone.
    store_.read([this, alive = alive_](std::optional<float> stored) {
        if (*alive) answered(stored);
    });
}

void VolumePreference::answered(std::optional<float> stored) {
    if (!asking_) return;
    asking_ = false;
    if (stored) stored_ = stored;
    if (userChanged_) {
        storeSoon();
    } else if (stored) {
        emit restored(*stored);
    }
}

void VolumePreference::changed(float volume, bool dragging) {
    if (asking_) {
        // Setting the slider's own volume again is no choice of the user's.
        if (volume == atStart_ && !userChanged_) return;
        userChanged_ = true;
        waiting_ = volume;
        return;
    }
    if (stored_ == volume && !waiting_) return;
    waiting_ = volume;
    if (!dragging) storeSoon();
}

void VolumePreference::dragEnded(float volume) {
    changed(volume, false);
    if (!asking_) storeNow();
}

void VolumePreference::quit() {
    if (quit_) return;
    quit_ = true;
    clock_->cancel();
    storeNow();
    if (store_.finish) store_.finish();
}

void VolumePreference::storeSoon() {
    const auto now = clock_->now();
    if (!lastStored_ || now - *lastStored_ >= kLeastInterval) return storeNow();
    clock_->callAfter(*lastStored_ + kLeastInterval - now, [this] { storeNow(); });
}

void VolumePreference::storeNow() {
    clock_->cancel();
    if (!waiting_) return;
    const float volume = *waiting_;
    waiting_.reset();
    if (stored_ == volume) return;
    store_.write(volume);
    stored_ = volume;
    lastStored_ = clock_->now();
}

}  // namespace reel
