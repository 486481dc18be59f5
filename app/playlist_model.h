#pragma once

#include <QAbstractTableModel>
#include <functional>

namespace reel {

class AppController;

// Presents the controller's playlist to the table, and hands drops on the
// table to the controller. Every column shows the entry's path.
class PlaylistModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PlaylistModel(AppController& controller, QObject* parent = nullptr);

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
    void removeRow(int row, const std::function<void()>& remove);

private:
    AppController& controller_;
};

}  // namespace reel
