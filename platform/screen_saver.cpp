#include "platform/screen_saver.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QGuiApplication>
#include <QVariantMap>

#include "platform/log.h"

namespace reel::platform {

namespace {

constexpr int kCallTimeoutMilliseconds = 2000;
const QString kReason = QStringLiteral("Playing a movie");

// X11's own calls, apart at the end of the file: its headers define words like None.
bool x11Suspend(bool* dpmsWasOn);
void x11Reset();
void x11Resume(bool dpmsWasOn);

}  // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    releaseTimer_.setSingleShot(true);
    releaseTimer_.setInterval(kReleaseDelayMilliseconds);
    connect(&releaseTimer_, &QTimer::timeout, this, &ScreenSaverInhibitor::release);
    x11Timer_.setInterval(kX11ResetMilliseconds);
    connect(&x11Timer_, &QTimer::timeout, this, &ScreenSaverInhibitor::resetX11);
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() { release(); }

const char* ScreenSaverInhibitor::name(Means means) {
    switch (means) {
        case Means::ScreenSaver:
            return "org.freedesktop.ScreenSaver";
        case Means::Portal:
            return "org.freedesktop.portal.Inhibit";
        case Means::X11:
            return "the X screen saver reset and DPMS";
        case Means::None:
            break;
    }
    return "nothing";
}

void ScreenSaverInhibitor::setWanted(bool wanted) {
    if (wanted) {
        releaseTimer_.stop();
        if (!held()) acquire();
    } else if (held() && !releaseTimer_.isActive()) {
        releaseTimer_.start();
    }
}

void ScreenSaverInhibitor::acquire() {
    if (triedAndFailed_) return;  // said once; asking again every second would change nothing
    if (inhibitScreenSaver())
        means_ = Means::ScreenSaver;
    else if (inhibitPortal())
        means_ = Means::Portal;
    else if (inhibitX11())
        means_ = Means::X11;
    if (means_ == logged_) return;
    logged_ = means_;
    if (means_ == Means::None) {
        triedAndFailed_ = true;
        log("screen saver: nothing to keep it off with");
    } else {
        log(std::string("screen saver kept off through ") + name(means_));
    }
}

void ScreenSaverInhibitor::release() {
    releaseTimer_.stop();
    switch (means_) {
        case Means::ScreenSaver: {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("UnInhibit"));
            call << cookie_;
            bus_.call(call, QDBus::Block, kCallTimeoutMilliseconds);
            break;
        }
        case Means::Portal: {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.portal.Desktop"), portalHandle_,
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close"));
            bus_.call(call, QDBus::Block, kCallTimeoutMilliseconds);
            break;
        }
        case Means::X11:
            x11Timer_.stop();
            x11Resume(dpmsWasOn_);
            break;
        case Means::None:
            break;
    }
    means_ = Means::None;
}

bool ScreenSaverInhibitor::inhibitScreenSaver() {
    if (!bus_.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
    call << QStringLiteral("Reel") << kReason;
    const QDBusReply<uint> reply = bus_.call(call, QDBus::Block, kCallTimeoutMilliseconds);
    if (!reply.isValid()) return false;
    cookie_ = reply.value();
    return true;
}

bool ScreenSaverInhibitor::inhibitPortal() {
    if (!bus_.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
    constexpr uint kIdle = 8;
    call << QString() << kIdle << QVariantMap{{QStringLiteral("reason"), kReason}};
    const QDBusReply<QDBusObjectPath> reply = bus_.call(call, QDBus::Block, kCallTimeoutMilliseconds);
    if (!reply.isValid()) return false;
    portalHandle_ = reply.value().path();
    return true;
}

bool ScreenSaverInhibitor::inhibitX11() {
    if (!x11Suspend(&dpmsWasOn_)) return false;
    x11Timer_.start();
    return true;
}

void ScreenSaverInhibitor::resetX11() { x11Reset(); }

}  // namespace reel::platform

#if __has_include(<X11/extensions/dpms.h>)
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace reel::platform {
namespace {

Display* x11Display() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

bool x11Suspend(bool* dpmsWasOn) {
    Display* display = x11Display();
    if (!display) return false;
    int event = 0, error = 0;
    *dpmsWasOn = false;
    if (DPMSQueryExtension(display, &event, &error) && DPMSCapable(display)) {
        CARD16 level = 0;
        BOOL on = False;
        if (DPMSInfo(display, &level, &on) && on) {
            *dpmsWasOn = true;
            DPMSDisable(display);
        }
    }
    XResetScreenSaver(display);
    XFlush(display);
    return true;
}

void x11Reset() {
    if (Display* display = x11Display()) {
        XResetScreenSaver(display);
        XFlush(display);
    }
}

void x11Resume(bool dpmsWasOn) {
    Display* display = x11Display();
    if (!display) return;
    if (dpmsWasOn) DPMSEnable(display);
    XFlush(display);
}

}  // namespace
}  // namespace reel::platform
#else
namespace reel::platform {
namespace {
bool x11Suspend(bool*) { return false; }
void x11Reset() {}
void x11Resume(bool) {}
}  // namespace
}  // namespace reel::platform
#endif
