#include "app/playlist_model.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMimeData>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QUrl>

#include "media/playlist_file.h"
#include "platform/file_names.h"

namespace reel {

std::vector<std::string> draggedFiles(const QMimeData* dragged) {
    std::vector<std::string> files;
    if (!dragged || !dragged->hasUrls()) return files;
    for (const QUrl& url : dragged->urls()) {
        if (auto path = platform::localPath(url)) files.push_back(std::move(*path));
    }
    return files;
}

DragOperation validateDrop(const QMimeData* dragged) {
    const std::vector<std::string> files = draggedFiles(dragged);
    if (files.empty()) return DragOperation::None;
    // Only the first file is looked at: a drag is taken or refused whole.
    const std::string ext = upperExtension(files.front());
    // The drag check lets one more through than the playlist takes: disc images.
    const bool playlist = isPlaylistPath(platform::displayText(files.front()));
    return isAcceptedExtension(ext) || ext == "BIN" || playlist ? DragOperation::Link : DragOperation::None;
}

namespace {

// A tick before the path of a movie seen to its end, in the text's own colour.
QIcon watchedMark() {
    static const QIcon mark = [] {
        QPixmap picture(32, 32);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QGuiApplication::palette().color(QPalette::Highlight), 5, Qt::SolidLine,
                            Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(QPolygonF({{6, 17}, {13, 24}, {26, 8}}));
        return QIcon(picture);
    }();
    return mark;
}

}  // namespace

PlaylistModel::PlaylistModel(const std::vector<EntryRecord>& entries, QObject* parent)
    : QAbstractTableModel(parent), entries_(entries) {}

int PlaylistModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

int PlaylistModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

QVariant PlaylistModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(entries_.size())) return {};
    const EntryRecord& entry = entries_[std::size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return platform::displayText(entry.name);
        case Qt::AccessibleTextRole:
            // A screen reader names the row by its file, not the whole path.
            return QFileInfo(platform::displayText(entry.name)).fileName();
        case Qt::ToolTipRole: {
            QString tip = platform::displayText(entry.name);
            if (!entry.problem.empty()) tip += '\n' + QString::fromStdString(entry.problem);
            if (isWatched(entry)) tip += '\n' + tr("Watched");
            return tip;
        }
        case Qt::DecorationRole:
            return isWatched(entry) ? watchedMark() : QVariant();
        case Qt::AccessibleDescriptionRole:
            return isWatched(entry) ? tr("Watched") : QVariant();
        case Qt::ForegroundRole:
            // An entry that cannot be viewed is greyed, as disabled text is.
            if (entry.problem.empty()) return {};
            return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        default:
            return {};
    }
}

void PlaylistModel::marksChanged() {
    if (entries_.empty()) return;
    emit dataChanged(index(0, 0), index(int(entries_.size()) - 1, columnCount() - 1),
                     {Qt::DecorationRole, Qt::AccessibleDescriptionRole, Qt::ToolTipRole});
}

QVariant PlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == 0) return tr("Movie");
    return {};
}

Qt::ItemFlags PlaylistModel::flags(const QModelIndex& index) const {
    // Drops land anywhere; rows are dragged only to a new place in the table.
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDropEnabled | Qt::ItemIsDragEnabled;
}

QStringList PlaylistModel::mimeTypes() const { return {QStringLiteral("text/uri-list"), kRowsMimeType}; }

Qt::DropActions PlaylistModel::supportedDragActions() const { return Qt::MoveAction; }

QMimeData* PlaylistModel::mimeData(const QModelIndexList& indexes) const {
    // Row numbers only, no file names: other programs get nothing to take.
    // The process's id first, so that another Reel's rows are never taken for ours.
    QByteArray rows = QByteArray::number(QCoreApplication::applicationPid()) + ':';
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && index.column() == 0) rows += QByteArray::number(index.row()) + ' ';
    }
    auto* data = new QMimeData;
    data->setData(kRowsMimeType, rows);
    return data;
}

// File managers offer copy, move or link; the playlist only refers to the files whatever is offered.
Qt::DropActions PlaylistModel::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

bool PlaylistModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                    const QModelIndex&) const {
    if (data && data->hasFormat(kRowsMimeType)) return true;
    return validateDrop(data) != DragOperation::None;
}

bool PlaylistModel::dropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                 const QModelIndex& parent) {
    if (data && data->hasFormat(kRowsMimeType)) {
        const QByteArray dragged = data->data(kRowsMimeType);
        const qsizetype colon = dragged.indexOf(':');
        if (colon < 0 || dragged.left(colon).toLongLong() != QCoreApplication::applicationPid()) return false;
        std::vector<int> rows;
        for (const QByteArray& number : dragged.mid(colon + 1).split(' ')) {
            bool ok = false;
            const int r = number.toInt(&ok);
            if (ok && r >= 0 && r < int(entries_.size())) rows.push_back(r);
        }
        // Between rows, onto a row (before it), or below the last.
        const int destination = row >= 0 ? row : parent.isValid() ? parent.row() : int(entries_.size());
        if (rows.empty()) return false;
        emit rowsDropped(rows, std::min(destination, int(entries_.size())));
        // Not a move for the view to finish by removing rows: the order is already changed.
        return false;
    }
    const std::vector<std::string> files = draggedFiles(data);
    if (files.empty()) return false;
    emit filesDropped(files);
    return true;
}

void PlaylistModel::appendRow(const std::function<void()>& append) {
    const int row = int(entries_.size());
    beginInsertRows({}, row, row);
    append();
    endInsertRows();
}

void PlaylistModel::removeRange(int first, int last, const std::function<void()>& remove) {
    beginRemoveRows({}, first, last);
    remove();
    endRemoveRows();
}

}  // namespace reel

namespace reel {

void PlaylistModel::replaceRow(int row, const std::function<void()>& replace) {
    replace();
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void PlaylistModel::reorder(const std::vector<int>& order, const std::function<void()>& permute) {
    emit layoutAboutToBeChanged();
    std::vector<int> newRowOf(order.size());
    for (std::size_t newRow = 0; newRow < order.size(); ++newRow)
        newRowOf[std::size_t(order[newRow])] = int(newRow);
    const QModelIndexList held = persistentIndexList();
    QModelIndexList moved;
    for (const QModelIndex& index : held)
        moved << this->index(newRowOf[std::size_t(index.row())], index.column());
    permute();
    changePersistentIndexList(held, moved);
    emit layoutChanged();
}

void PlaylistModel::replaceAll(const std::function<void()>& replace) {
    beginResetModel();
    replace();
    endResetModel();
}

}  // namespace reel
