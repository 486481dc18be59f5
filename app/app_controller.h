#pragma once

#include <QObject>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "app/playlist_entry.h"

class QLabel;
class QMainWindow;
class QMimeData;
class QPushButton;
class QSlider;
class QTimer;

namespace reel {

class FadeWindow;
class IControllerWindow;
class ImageButton;
class PlaylistIntake;
class PlaylistModel;
class PlaylistTable;

// Drag operations the playlist table offers.
enum class DragOperation : unsigned { None = 0, Link = 2 };

// The one application controller: the playlist and the windows that show it.
class AppController : public QObject {
    Q_OBJECT
public:
    explicit AppController(QObject* parent = nullptr);
    ~AppController() override;

    // Outlets: the interface's windows and controls, connected before awakeFromNib.
    QPushButton* addButton = nullptr;
    QLabel* audioFormatField = nullptr;
    QLabel* fpsField = nullptr;
    QLabel* lengthField = nullptr;
    QMainWindow* mainWindow = nullptr;
    QLabel* nameField = nullptr;
    QPushButton* removeButton = nullptr;
    QLabel* sizeField = nullptr;
    QLabel* standardField = nullptr;
    PlaylistTable* tableView = nullptr;
    QLabel* videoFormatField = nullptr;
    QPushButton* viewButton = nullptr;
    FadeWindow* viewerWindow = nullptr;
    QLabel* cNameField = nullptr;
    QLabel* cTimeField = nullptr;
    ImageButton* mainButton = nullptr;
    QSlider* timeSlider = nullptr;
    QSlider* volumeSlider = nullptr;
    IControllerWindow* cWindow = nullptr;

    // Start-up
    void awakeFromNib();
    void applicationDidFinishLaunching();

    // Playlist
    void addItem();
    void openPanelDidEnd(const QStringList& filenames, int returnCode);
    void removeItem();
    // Files named at start-up or otherwise handed over: added in order.
    void addFiles(const QStringList& paths);
    const std::vector<EntryRecord>& objects() const { return objects_; }
    PlaylistIntake& intake() { return *intake_; }

    // Table and information panel
    void readSettings();
    void tableClicked();
    int numberOfRowsInTableView() const;
    QString objectValueForTableColumn(int column, int row) const;
    DragOperation validateDrop(const QMimeData* dragged) const;
    bool acceptDrop(const QMimeData* dragged);
    bool writeRows() const { return false; }  // rows are never dragged out
    int selectedRow() const;
    void selectRow(int row);

    // The slider's value as the 0..1 fraction the player speaks in.
    static float floatValue(const QSlider* slider);
    static void setFloatValue(QSlider* slider, float value);

private:
    void appendEntry(EntryRecord entry);

    std::vector<EntryRecord> objects_;
    PlaylistModel* model_ = nullptr;
    std::unique_ptr<PlaylistIntake> intake_;
    bool inFullscreen_ = false;
    bool buttonState_ = false;
    const char* restoreState_ = nullptr;
    QRectF originalRect_;
    QString cLength_;
};

}  // namespace reel
