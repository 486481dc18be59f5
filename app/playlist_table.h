#pragma once

#include <QTableView>

namespace reel {

// The playlist table. A click anywhere in it, rows or the empty space below
// them, is reported; a click on empty space leaves no row selected.
class PlaylistTable : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;

signals:
    void clickedAnywhere();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace reel
