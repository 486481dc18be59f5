#pragma once

#include <QIcon>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <vector>

#include "app/playlist_entry.h"
#include "platform/movie_view.h"
#include "platform/toolbox.h"

class QLabel;
class QMainWindow;
class QMimeData;
class QPushButton;
class QSlider;
class QTimer;

namespace reel {

class FadeWindow;
class Fader;
class FullScreenWindow;
class IControllerWindow;
class ImageButton;
class PlaylistIntake;
class PlaylistModel;
class PlaylistTable;
class VolumePreference;

// The play/pause button's images: what its next press does, normally and pressed.
extern QIcon pause, bPause, play, bPlay;

// Called by the movie toolbox, on its own thread, when a movie plays to its end.
void MyCallBackProc(toolbox::QTCallBack callBack, long refCon);

// Drag operations the playlist table offers.
enum class DragOperation : unsigned { None = 0, Link = 2 };

// The one application controller: the playlist and the windows that show it.
class AppController : public QObject {
    Q_OBJECT
public:
    // Movie views come from the factory, so tests can play without a picture.
    explicit AppController(MovieViewFactory makeMovieView = {}, QObject* parent = nullptr);
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
    void openPanelDidEnd(const std::vector<std::string>& paths, int returnCode);
    void removeItem();
    // Files named at start-up (as the bytes given) or otherwise handed over: added in order.
    void addFiles(const std::vector<std::string>& paths);
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

    // Viewer and end-of-movie advance
    void viewItem();
    void setupMoviePlayingCompleteCallback(toolbox::Movie movie, toolbox::QTCallBackUPP callbackUPP);
    void movieFinished();
    void tugi();

    // Transport
    void fast(const std::string& command);
    // The play/pause action; named apart from the mainButton outlet it acts on.
    void mainButtonClicked(ImageButton* sender);
    void ffButton() {}  // the seek buttons act through "Fast"
    void rwButton() {}
    void timeSlide();
    void checkTime();
    void showList();
    void showController();
    void volumeSlide(QSlider* sender);

    // Fades of the playlist window
    void fadeIn();
    void fadeOut();

    // Full screen
    void fullScreen();
    QRectF originalRect() const { return originalRect_; }
    FullScreenWindow* fullscreenWindow() const { return _fullscreenWindow.get(); }
    bool inFullscreen() const { return inFullscreen_; }

    MovieView* view() const { return view_.get(); }
    CLMovie* mov() const { return mov_.get(); }
    bool buttonState() const { return buttonState_; }
    QString cLength() const { return cLength_; }
    toolbox::QTCallBack currentCallBack();

    // The slider's value as the 0..1 fraction the player speaks in.
    static float floatValue(const QSlider* slider);
    static void setFloatValue(QSlider* slider, float value);

private:
    void appendEntry(EntryRecord entry);
    void dropMovieView();
    void setTimeSlider(float fraction);

    MovieViewFactory makeMovieView_;
    std::unique_ptr<FullScreenWindow> _fullscreenWindow;
    toolbox::QTCallBackUPP gMoviePlayingCompleteCallBack = nullptr;
    // Armed on the main thread, read by the end-of-movie handler on the toolbox's.
    std::mutex callBackMutex_;
    toolbox::QTCallBack gQtCallBack;
    std::vector<EntryRecord> objects_;
    PlaylistModel* model_ = nullptr;
    std::unique_ptr<PlaylistIntake> intake_;
    bool inFullscreen_ = false;
    bool buttonState_ = false;
    const char* restoreState_ = nullptr;
    QRectF originalRect_;
    std::unique_ptr<MovieView> view_;
    QTimer* jikan = nullptr;
    std::shared_ptr<CLMovie> mov_;
    QString cLength_;

    std::unique_ptr<Fader> mainFades_;
    std::unique_ptr<VolumePreference> volumePreference_;
    std::vector<int> observers_;
    bool settingTimeSlider_ = false;
};

}  // namespace reel
