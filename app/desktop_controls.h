#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "platform/mpris_service.h"

namespace reel {

class AppController;
class PlayerMessages;
namespace platform {
class ScreenSaverInhibitor;
}

// The player as the desktop sees it: media keys and media controls on the
// session bus, and the screen kept awake while a movie plays. Every request
// goes through the controller's own actions, so its windows show the same.
class DesktopControls : public QObject, public platform::MprisPlayer {
    Q_OBJECT
public:
    DesktopControls(AppController& controller, PlayerMessages& messages, QObject* parent = nullptr);
    ~DesktopControls() override;

    // Takes the media player name on the session bus, if there is one.
    bool publish();
    platform::MprisService& service() { return *service_; }
    platform::ScreenSaverInhibitor& screenSaver() { return *screenSaver_; }

    // The state the desktop is shown, read from the controller's windows now.
    platform::MprisState currentState() const;
    // A movie plays where it can be seen: the screen should not go dark.
    bool wantsScreenAwake() const;

    // MprisPlayer
    void raise() override;
    void quit() override;
    void play() override;
    void pause() override;
    void playPause() override;
    void stop() override;
    void next() override;
    void previous() override;
    void seekTo(qint64 microseconds) override;
    void setVolume(double volume) override;
    void openFile(const QString& path) override;
    qint64 positionMicroseconds() const override;

    // The file types the playlist takes, as MIME types.
    static QStringList acceptedMimeTypes();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void intakeFinished();

    AppController& controller_;
    PlayerMessages& messages_;
    std::unique_ptr<platform::MprisService> service_;
    std::unique_ptr<platform::ScreenSaverInhibitor> screenSaver_;
    // Track ids: a new one each time another movie is loaded.
    const void* trackMovie_ = nullptr;
    int trackNumber_ = 0;
    // The playlist row a file opened from the desktop will get, until it is there.
    int openedRow_ = -1;
};

}  // namespace reel
