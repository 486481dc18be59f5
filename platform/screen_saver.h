#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <string>

class QDBusMessage;

namespace reel::platform {

// Keeps the screen saver and the screen's power saving off while wanted:
// through org.freedesktop.ScreenSaver, else the desktop portal's Inhibit,
// else, on X11, by resetting the X screen saver and suspending DPMS. One
// inhibition at most is held; letting go waits a moment, so the short gap
// between two movies does not release and take it again.
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    enum class Means { None, ScreenSaver, Portal, X11 };

    static constexpr int kReleaseDelayMilliseconds = 400;
    static constexpr int kX11ResetMilliseconds = 30000;

    explicit ScreenSaverInhibitor(QDBusConnection bus, QObject* parent = nullptr);
    ~ScreenSaverInhibitor() override;

    void setWanted(bool wanted);
    bool held() const { return means_ != Means::None; }
    Means means() const { return means_; }
    static const char* name(Means means);

private:
    void tryFrom(Means first);
    bool ask(const QDBusMessage& call, Means means);
    void took(Means means);
    void release(bool wait);
    bool inhibitX11();
    void resetX11();

    QDBusConnection bus_;
    bool wanted_ = false;
    bool asking_ = false;  // an answer from the bus is awaited
    Means means_ = Means::None;
    Means logged_ = Means::None;
    bool triedAndFailed_ = false;
    uint cookie_ = 0;
    QString portalHandle_;
    bool dpmsWasOn_ = false;
    QTimer releaseTimer_;
    QTimer x11Timer_;
};

}  // namespace reel::platform
