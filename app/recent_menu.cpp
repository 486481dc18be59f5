#include "app/recent_menu.h"

#include <QFileInfo>
#include <QMenu>

#include "app/app_controller.h"
#include "app/playlist_intake.h"
#include "media/playlist_file.h"
#include "platform/history_store.h"

namespace reel {

RecentMenu::RecentMenu(QMenu* menu, AppController& controller, platform::HistoryStore& store, QObject* parent)
    : QObject(parent), menu_(menu), controller_(controller), store_(store) {
    connect(menu_, &QMenu::aboutToShow, this, &RecentMenu::refresh);
    connect(&controller_, &AppController::viewed, this,
            [this](const QString& path) { store_.noteRecent(path); });
    connect(&controller_.intake(), &PlaylistIntake::playlistOpened, this,
            [this](const QString& path, bool nested) {
                if (!nested) store_.noteRecent(path);
            });
    refresh();
}

void RecentMenu::refresh() {
    menu_->clear();
    const QStringList recent = store_.recent();
    for (const QString& path : recent) {
        // The name first: the folder tells apart two of the same name.
        const QFileInfo info(path);
        QAction* action = menu_->addAction(tr("%1 — %2").arg(info.fileName(), info.absolutePath()));
        action->setData(path);
        action->setToolTip(path);
        action->setEnabled(info.isFile());
        connect(action, &QAction::triggered, this, [this, path] { choose(path); });
    }
    menu_->addSeparator();
    QAction* clear = menu_->addAction(tr("Clear"));
    clear->setEnabled(!recent.isEmpty());
    connect(clear, &QAction::triggered, this, [this] {
        store_.clearRecent();
        refresh();
    });
}

void RecentMenu::choose(const QString& path) {
    if (!QFileInfo(path).isFile()) return;
    if (isPlaylistPath(path)) {
        controller_.openPlaylistFile(path);
        return;
    }
    // Added at the end, as a drop is, then viewed once it is there.
    PlaylistIntake& intake = controller_.intake();
    auto done = std::make_shared<QMetaObject::Connection>();
    *done = connect(&intake, &PlaylistIntake::finished, this, [this, done, path] {
        disconnect(*done);
        const auto& entries = controller_.objects();
        for (int row = int(entries.size()) - 1; row >= 0; --row) {
            if (QString::fromStdString(entries[std::size_t(row)].name) != path) continue;
            controller_.selectRow(row);
            controller_.showSelectedEntryInfo();
            controller_.viewItem();
            return;
        }
    });
    intake.add({path});
}

}  // namespace reel
