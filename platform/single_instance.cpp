#include "platform/single_instance.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>

#include "platform/log.h"

namespace reel::platform {

namespace {

QString errorName(QDBusError::ErrorType type) { return QDBusError::errorString(type); }

void say(const QString& line) { log(line.toStdString()); }

}  // namespace

// The player's end: the object other Reels call, living on the main thread
// so that a player whose event loop is stuck does not answer.
class SingleInstance::Service : public QDBusVirtualObject {
public:
    std::function<void(const Request&)> receive;
    std::function<QByteArrayList()> entries;

    QString introspect(const QString&) const override {
        return QStringLiteral(
                   "<interface name=\"%1\">"
                   "<method name=\"Open\">"
                   "<arg name=\"paths\" type=\"aay\" direction=\"in\"/>"
                   "<arg name=\"play\" type=\"b\" direction=\"in\"/>"
                   "</method>"
                   "<method name=\"Entries\">"
                   "<arg name=\"paths\" type=\"aay\" direction=\"out\"/>"
                   "</method>"
                   "</interface>")
            .arg(kInterface);
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (!message.interface().isEmpty() && message.interface() != kInterface) return false;
        if (!receive) {
            connection.send(
                message.createErrorReply(kQuittingError, QStringLiteral("the player is quitting")));
            return true;
        }
        if (message.member() == QLatin1String("Open")) {
            open(message, connection);
            return true;
        }
        if (message.member() == QLatin1String("Entries") && message.signature().isEmpty()) {
            connection.send(message.createReply(QVariant::fromValue(entries())));
            return true;
        }
        return false;  // the bus library answers that there is no such method
    }

private:
    void open(const QDBusMessage& message, const QDBusConnection& connection) {
        Request request;
        const QVariantList args = message.arguments();
        if (message.signature() != QLatin1String("aayb")) {
            say(QStringLiteral("refused files handed over by %1: the arguments were (%2), not (aayb)")
                    .arg(message.service(), message.signature()));
            connection.send(message.createErrorReply(
                QDBusError::InvalidArgs, QStringLiteral("Open takes file paths as byte arrays (aay) and "
                                                        "whether to play the first added (b)")));
            return;
        }
        args.at(0).value<QDBusArgument>() >> request.paths;
        request.play = args.at(1).toBool();
        // Answered before the files are taken: the caller only waits to know they arrived.
        connection.send(message.createReply());
        receive(request);
    }
};

SingleInstance::SingleInstance(QString serviceName) : serviceName_(std::move(serviceName)) {
    qDBusRegisterMetaType<QByteArrayList>();
}

SingleInstance::~SingleInstance() { stopServing(); }

SingleInstance::NameRequest SingleInstance::requestName() {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus) return NameRequest::Refused;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus->registerService(serviceName_, QDBusConnectionInterface::DontQueueService,
                             QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        say(QStringLiteral("the session bus refused %1 to this player: %2")
                .arg(serviceName_, reply.error().message()));
        return NameRequest::Refused;
    }
    ownsName_ = reply.value() == QDBusConnectionInterface::ServiceRegistered;
    return ownsName_ ? NameRequest::Owned : NameRequest::Taken;
}

SingleInstance::Role SingleInstance::claim() {
    if (!QDBusConnection::sessionBus().isConnected()) {
        say(QStringLiteral("no session bus: this player takes no files from other Reels"));
        return Role::Alone;
    }
    return requestName() == NameRequest::Owned ? Role::Player : Role::Alone;
}

SingleInstance::Role SingleInstance::handOver(const Request& request) {
    return handOver(request, Patience{});
}

SingleInstance::Role SingleInstance::handOver(const Request& request, Patience patience) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        say(QStringLiteral("no session bus: starting a player that takes no files from other Reels"));
        return Role::Alone;
    }
    QDBusMessage open = QDBusMessage::createMethodCall(serviceName_, kObjectPath, kInterface, "Open");
    open << QVariant::fromValue(request.paths) << request.play;

    QElapsedTimer waited;
    waited.start();
    int pause = 2;
    bool mayOwn = true;
    for (;;) {
        if (mayOwn) {
            const NameRequest asked = requestName();
            if (asked == NameRequest::Owned) return Role::Player;
            mayOwn = asked == NameRequest::Taken;
        }
        const QDBusMessage reply = bus.call(open, QDBus::Block, patience.answerMilliseconds);
        if (reply.type() == QDBusMessage::ReplyMessage) return Role::HandedOver;
        const QString error = reply.errorName();
        if (error == errorName(QDBusError::NoReply) || error == errorName(QDBusError::Timeout)) {
            say(QStringLiteral("the running player did not answer within %1 ms: starting a player of its own")
                    .arg(patience.answerMilliseconds));
            return Role::Alone;
        }
        // Still starting (nothing at its object path yet), going, or gone:
        // ask again, and take the name once it is free.
        const bool tryAgain =
            error == errorName(QDBusError::UnknownObject) || error == errorName(QDBusError::ServiceUnknown) ||
            error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") || error == kQuittingError;
        if (!tryAgain) {
            say(QStringLiteral("the running player refused the files (%1: %2): starting a player of its own")
                    .arg(error, reply.errorMessage()));
            return Role::Alone;
        }
        // With no player and no name to be had, there is nobody to wait for.
        if (!mayOwn && error != errorName(QDBusError::UnknownObject)) return Role::Alone;
        if (waited.elapsed() > patience.startingMilliseconds) {
            say(QStringLiteral("the player that was starting was not ready after %1 ms: starting a player of "
                               "its own")
                    .arg(patience.startingMilliseconds));
            return Role::Alone;
        }
        QThread::msleep(static_cast<unsigned long>(pause));
        pause = std::min(pause * 2, 50);
    }
}

void SingleInstance::serve(std::function<void(const Request&)> receive,
                           std::function<QByteArrayList()> entries) {
    // A player without the name serves too, on its own connection: others do
    // not find it, but whoever knows that connection can still ask it.
    if (!QDBusConnection::sessionBus().isConnected()) return;
    service_ = std::make_unique<Service>();
    service_->receive = std::move(receive);
    service_->entries = std::move(entries);
    if (!QDBusConnection::sessionBus().registerVirtualObject(kObjectPath, service_.get())) {
        say(QStringLiteral("cannot serve %1 on the session bus: other Reels will start players of their own")
                .arg(kObjectPath));
        service_.reset();
        stopServing();
        return;
    }
    // Calls that arrive while the windows are being taken down are refused, so
    // their callers start a player of their own rather than lose their files.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, service_.get(),
                     [this] { stopServing(); });
}

void SingleInstance::stopServing() {
    if (service_) {
        service_->receive = nullptr;
        service_->entries = nullptr;
        QDBusConnection::sessionBus().unregisterObject(kObjectPath);
    }
    if (ownsName_) {
        ownsName_ = false;
        if (QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface())
            bus->unregisterService(serviceName_);
    }
}

}  // namespace reel::platform
