#pragma once

#include <QObject>
#include <QString>

class QMenu;

namespace reel {

class AppController;
namespace platform {
class HistoryStore;
}

// File > Open Recent: the movies last viewed and the playlists last opened,
// newest first, with Clear. A file that is gone is listed but cannot be
// chosen. A movie chosen is added as a drop adds it, and viewed; a playlist
// is opened as Open Playlist… opens it.
class RecentMenu : public QObject {
    Q_OBJECT
public:
    RecentMenu(QMenu* menu, AppController& controller, platform::HistoryStore& store,
               QObject* parent = nullptr);

    // Lists what the store holds now; done each time the menu opens.
    void refresh();
    void choose(const QString& path);

private:
    QMenu* menu_;
    AppController& controller_;
    platform::HistoryStore& store_;
};

}  // namespace reel
