#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace reel {

namespace platform {
class PreferenceFile;
}

// The volume kept between runs, as "VolumeLevel" in the settings file.
// A slider moved by a drag is stored when the drag ends; steps by key, wheel
// or click are stored at most every half second, the last one always; what
// is still waiting is stored at quit. The stored volume comes back at start
// unless the user has set one before it arrived.
class VolumePreference : public QObject {
    Q_OBJECT
public:
    // Time and a one-shot timer, so that a test can run the clock itself.
    class Clock {
    public:
        virtual ~Clock() = default;
        virtual std::chrono::milliseconds now() const = 0;
        // Calls `then` once, `after` from now, in place of any call still waiting.
        virtual void callAfter(std::chrono::milliseconds after, std::function<void()> then) = 0;
        virtual void cancel() = 0;
    };
    static std::unique_ptr<Clock> steadyClock();

    // Where volumes are kept: the settings file, or a test's own.
    struct Store {
        std::function<void(std::function<void(std::optional<float>)> answer)> read;
        std::function<void(float volume)> write;
        std::function<void()> finish;  // waits, within reason, for the writes to land
    };
    static Store fileStore(std::shared_ptr<platform::PreferenceFile> file);

    static constexpr std::chrono::milliseconds kLeastInterval{500};
    static constexpr const char* kKey = "VolumeLevel";

    explicit VolumePreference(Store store, std::unique_ptr<Clock> clock = steadyClock(),
                              QObject* parent = nullptr);
    ~VolumePreference() override;  // as at quit

    // Asks for the stored volume; `current` is the slider's until then.
    void restore(float current);
    void changed(float volume, bool dragging);
    void dragEnded(float volume);
    // Stores what waits, and waits for it to land.
    void quit();

signals:
    void restored(float volume);

private:
    void answered(std::optional<float> stored);
    void storeSoon();
    void storeNow();

    Store store_;
    std::unique_ptr<Clock> clock_;
    std::optional<float> stored_;   // what the store holds, as far as is known
    std::optional<float> waiting_;  // to be stored
    std::optional<std::chrono::milliseconds> lastStored_;
    bool asking_ = false;       // the stored volume has been asked for and not come yet
    float atStart_ = 0;         // the slider's volume while it is asked for
    bool userChanged_ = false;  // a volume was set while it was asked for
    bool quit_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace reel
