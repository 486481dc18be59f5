#include "platform/screen_saver.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
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
    connect(&releaseTimer_, &QTimer::timeout, this, [this] { release(false); });
    x11Timer_.setInterval(kX11ResetMilliseconds);
    connect(&x11Timer_, &QTimer::timeout, this, &ScreenSaverInhibitor::resetX11);
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() { release(true); }

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
    wanted_ = wanted;
    if (wanted) {
        releaseTimer_.stop();
        if (!held() && !asking_) tryFrom(Means::ScreenSaver);
    } else if (held() && !releaseTimer_.isActive()) {
        releaseTimer_.start();
    }
}

// Each means in turn, from the given one. The bus is never waited on: a desktop
// service slow to answer must not hold the interface up.
void ScreenSaverInhibitor::tryFrom(Means first) {
    if (triedAndFailed_) return;  // said once; asking again every second would change nothing
    if (first <= Means::ScreenSaver) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
        call << QStringLiteral("Reel") << kReason;
        if (ask(call, Means::ScreenSaver)) return;
    }
    if (first <= Means::Portal) {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                                           QStringLiteral("/org/freedesktop/portal/desktop"),
                                                           QStringLiteral("org.freedesktop.portal.Inhibit"),
                                                           QStringLiteral("Inhibit"));
        constexpr uint kIdle = 8;
        call << QString() << kIdle << QVariantMap{{QStringLiteral("reason"), kReason}};
        if (ask(call, Means::Portal)) return;
    }
    took(inhibitX11() ? Means::X11 : Means::None);
}

bool ScreenSaverInhibitor::ask(const QDBusMessage& call, Means means) {
    if (!bus_.isConnected()) return false;
    asking_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMilliseconds), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, means] {
        watcher->deleteLater();
        asking_ = false;
        const QDBusMessage reply = watcher->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            // Refused, absent or silent: the next means, unless it is no longer wanted.
            if (wanted_) tryFrom(Means(int(means) + 1));
            return;
        }
        if (means == Means::ScreenSaver)
            cookie_ = reply.arguments().constFirst().toUInt();
        else
            portalHandle_ = qdbus_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
        took(means);
    });
    return true;
}

void ScreenSaverInhibitor::took(Means means) {
    means_ = means;
    // Let go as setWanted would have, had it come after the answer.
    if (held() && !wanted_) releaseTimer_.start();
    if (means_ == logged_) return;
    logged_ = means_;
    if (means_ == Means::None) {
        triedAndFailed_ = true;
        log("screen saver: nothing to keep it off with");
    } else {
        log(std::string("screen saver kept off through ") + name(means_));
    }
}

void ScreenSaverInhibitor::release(bool wait) {
    releaseTimer_.stop();
    QDBusMessage call;
    switch (means_) {
        case Means::ScreenSaver:
            call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("UnInhibit"));
            call << cookie_;
            break;
        case Means::Portal:
            call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.portal.Desktop"), portalHandle_,
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close"));
            break;
        case Means::X11:
            x11Timer_.stop();
            x11Resume(dpmsWasOn_);
            break;
        case Means::None:
            break;
    }
    means_ = Means::None;
    if (call.type() != QDBusMessage::MethodCallMessage) return;
    // At the end the message must leave before the process does.
    if (wait)
        bus_.call(call, QDBus::Block, kCallTimeoutMilliseconds);
    else
        bus_.send(call);
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
