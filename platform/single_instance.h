#pragma once

#include <QByteArrayList>
#include <QString>
#include <functional>
#include <memory>

namespace reel::platform {

// One player per session. The first Reel to start owns a well-known name on
// the session bus; a later one hands its files to that player and ends. The
// hand-over needs no application object, window or player core, so it runs
// before any of them is made.
//
// The name decides who becomes the player when several start at once: the
// one the bus gives it to. Until that player is ready it has nothing at its
// object path, and the others wait and ask again.
class SingleInstance {
public:
    inline static const QString kServiceName = QStringLiteral("org.reelplayer.Reel");
    inline static const QString kObjectPath = QStringLiteral("/org/reelplayer/Reel");
    inline static const QString kInterface = QStringLiteral("org.reelplayer.Reel");
    // What a player answers while it is shutting down: the caller should try again.
    inline static const QString kQuittingError = QStringLiteral("org.reelplayer.Reel.Error.Quitting");

    // Files to open: absolute paths as bytes, since file names need not be
    // UTF-8, and whether to view the first of them that is added.
    struct Request {
        QByteArrayList paths;
        bool play = false;
    };

    enum class Role {
        HandedOver,  // the running player took the files: nothing more to do here
        Player,      // this process owns the name: it is the session's player
        Alone,       // a player of its own: no bus, or a player that did not answer
    };

    struct Patience {
        int answerMilliseconds = 1000;     // for a running player to take the files
        int startingMilliseconds = 10000;  // for a player that owns the name to get ready
    };

    explicit SingleInstance(QString serviceName = kServiceName);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Hands the request to the session's player, or becomes it.
    Role handOver(const Request& request);
    Role handOver(const Request& request, Patience patience);
    // Becomes the session's player when there is none; never hands over.
    Role claim();

    // The player is ready: from now on requests reach `receive`, on this
    // thread's event loop, and `entries` answers the bus's Entries method
    // (the playlist's paths, for tests and scripts). A player without the
    // name serves on its own connection only. Needs the application object;
    // serving ends when its event loop does.
    void serve(std::function<void(const Request&)> receive, std::function<QByteArrayList()> entries);
    // Ends serving and gives the name up: Reels started from now on find no player.
    void stopServing();

private:
    class Service;
    enum class NameRequest { Owned, Taken, Refused };

    NameRequest requestName();

    QString serviceName_;
    bool ownsName_ = false;
    std::unique_ptr<Service> service_;
};

}  // namespace reel::platform
