#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "app/playlist_entry.h"

class QMimeData;

namespace reel {

// Drag operations the playlist table offers.
enum class DragOperation : unsigned { None = 0, Link = 2 };

// The local files a drag carries, in its order; other URLs are not files.
std::vector<std::string> draggedFiles(const QMimeData* dragged);
// The type that carries rows dragged within the table; nothing outside it reads it.
inline constexpr const char* kRowsMimeType = "application/x-reel-playlist-rows";
// Whether the table takes a drag: its first file decides for all of it.
DragOperation validateDrop(const QMimeData* dragged);

// Presents the playlist's entries to the table, one row each showing the
// entry's path, and hands the files of a drop on the table to whoever listens.
class PlaylistModel : public QAbstractTableModel {
    Q_OBJECT
public:
    PlaylistModel(const std::vector<EntryRecord>& entries, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // Changes to the playlist, made by the callback between the model's notices.
    void appendRow(const std::function<void()>& append);
    void removeRange(int first, int last, const std::function<void()>& remove);
    void replaceRow(int row, const std::function<void()>& replace);
    void replaceAll(const std::function<void()>& replace);
    // The rows take the places order gives them (order[new row] is the old row);
    // selections and other held places follow their rows.
    void reorder(const std::vector<int>& order, const std::function<void()>& permute);

    // Which entries were seen to their end; they carry a mark. Unset, none are.
    void setWatched(std::function<bool(const EntryRecord&)> watched) { watched_ = std::move(watched); }
    // Which entries are marked may have changed: the table looks again.
    void marksChanged();

    Qt::DropActions supportedDragActions() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

signals:
    // Files dropped on the table, in the drag's order; always appended.
    void filesDropped(const std::vector<std::string>& files);
    // Rows of this table dragged within it, to go before destination (the row count: at the end).
    void rowsDropped(const std::vector<int>& rows, int destination);

private:
    bool isWatched(const EntryRecord& entry) const { return watched_ && watched_(entry); }

    const std::vector<EntryRecord>& entries_;
    std::function<bool(const EntryRecord&)> watched_;
};

}  // namespace reel
