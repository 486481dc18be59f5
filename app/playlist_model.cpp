#include "app/playlist_model.h"

#include <QMimeData>

#include "app/app_controller.h"

namespace reel {

PlaylistModel::PlaylistModel(AppController& controller, QObject* parent)
    : QAbstractTableModel(parent), controller_(controller) {}

int PlaylistModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : controller_.numberOfRowsInTableView();
}

int PlaylistModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

QVariant PlaylistModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    return controller_.objectValueForTableColumn(index.column(), index.row());
}

QVariant PlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == 0) return tr("Movie");
    return {};
}

Qt::ItemFlags PlaylistModel::flags(const QModelIndex& index) const {
    // Drops land anywhere; rows are never dragged.
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDropEnabled;
}

QStringList PlaylistModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

// File managers offer copy, move or link; the playlist only refers to the files whatever is offered.
Qt::DropActions PlaylistModel::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

bool PlaylistModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                    const QModelIndex&) const {
    return controller_.validateDrop(data) != DragOperation::None;
}

bool PlaylistModel::dropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&) {
    return controller_.acceptDrop(data);
}

void PlaylistModel::appendRow(const std::function<void()>& append) {
    const int row = controller_.numberOfRowsInTableView();
    beginInsertRows({}, row, row);
    append();
    endInsertRows();
}

void PlaylistModel::removeRow(int row, const std::function<void()>& remove) {
    beginRemoveRows({}, row, row);
    remove();
    endRemoveRows();
}

}  // namespace reel
