#include "app/playlist_table.h"

#include <QMouseEvent>

namespace reel {

void PlaylistTable::mousePressEvent(QMouseEvent* event) {
    if (!indexAt(event->position().toPoint()).isValid()) clearSelection();
    QTableView::mousePressEvent(event);
    emit clickedAnywhere();
}

}  // namespace reel
