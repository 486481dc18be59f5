#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "app/playlist_entry.h"
#include "platform/movie_view.h"
#include "platform/toolbox.h"
#include "ui/player_messages.h"

class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;

namespace reel {

class ControllerWindow;
class FadeWindow;
class Fader;
class FullScreenWindow;
class ImageButton;
class PlaylistIntake;
class PlaylistModel;
class PlaylistTable;
class TrackMenus;
class VolumePreference;

// The interface's windows and controls the controller works with, all set
// when the forms are loaded, before the controller exists.
struct Outlets {
    // The playlist window and its information panel
    QMainWindow* mainWindow;
    PlaylistTable* tableView;
    QPushButton* addButton;
    QPushButton* removeButton;
    QPushButton* viewButton;
    QLabel* nameField;
    QLabel* sizeField;
    QLabel* lengthField;
    QLabel* standardField;
    QLabel* videoFormatField;
    QLabel* audioFormatField;
    QLabel* fpsField;
    // The tracks of the selected entry, and the menus of the movie playing's
    QLabel* tracksField;
    QMenu* audioMenu;
    QMenu* subtitleMenu;
    // The viewer, and the controller window with its controls
    FadeWindow* viewerWindow;
    ControllerWindow* cWindow;
    QLabel* cNameField;
    QLabel* cTimeField;
    ImageButton* mainButton;
    QSlider* timeSlider;
    QSlider* volumeSlider;
};

// The play/pause button's images: what its next press does, normally and pressed.
struct TransportIcons {
    QIcon pause, pausePressed, play, playPressed;
};

// The one application controller: the playlist and the windows that show it.
class AppController : public QObject {
    Q_OBJECT
public:
    // The movie view comes from the factory, once, when the first movie is
    // viewed, so tests can play without a picture.
    AppController(const Outlets& outlets, PlayerMessages& messages, MovieViewFactory makeMovieView = {},
                  QObject* parent = nullptr);
    ~AppController() override;

    const Outlets& outlets() const { return ui_; }

    // Start-up
    void awakeFromNib();
    void applicationDidFinishLaunching();

    // Playlist
    void addItem();
    void openPanelDidEnd(const QStringList& filenames, bool accepted);
    void openPanelDidEnd(const std::vector<std::string>& paths, bool accepted);
    void removeItem();
    // Files named at start-up (as the bytes given) or otherwise handed over: added in order.
    void addFiles(const std::vector<std::string>& paths);
    // The same for names as text, whose bytes are their UTF-8.
    void addFiles(const QStringList& paths);
    const std::vector<EntryRecord>& objects() const { return objects_; }
    PlaylistIntake& intake() { return *intake_; }

    // Playlist files
    void openPlaylist();
    void savePlaylistAs();
    // The playlist becomes the file's lines, added as every other list is.
    void openPlaylistFile(const QString& path);
    bool savePlaylistFile(const QString& path);

    // Reordering: the rows go, in their order, before the entry now at
    // destination (the row count: to the end). Selection follows them.
    void moveEntries(std::vector<int> rows, int destination);
    // Alt+Up / Alt+Down: the selected entries one place up or down.
    void moveSelectionBy(int step);
    std::vector<int> selectedRows() const;

    // Table and information panel
    void showSelectedEntryInfo();
    void tableClicked();
    int selectedRow() const;
    void selectRow(int row);

    // Viewer and end-of-movie advance
    void viewItem();
    void playNextEntry();

    // Transport
    void fast(FastCommand command);
    // The play/pause action; named apart from the mainButton outlet it acts on.
    void mainButtonClicked();
    void timeSlide();
    void checkTime();
    void showList();
    void showController();
    void volumeSlide();

    // Fades of the playlist window
    void fadeIn();
    void fadeOut();

    // Full screen
    void fullScreen();
    FullScreenWindow* fullscreenWindow() const { return fullScreenWindow_.get(); }
    bool inFullscreen() const { return inFullscreen_; }

    // The session's movie view: made when the first movie is viewed, kept until the end.
    MovieView* view() const { return view_.get(); }
    CLMovie* mov() const { return mov_.get(); }
    bool buttonState() const { return buttonState_; }
    QString cLength() const { return cLength_; }
    const TransportIcons& icons() const { return icons_; }

    // Audio and subtitle tracks: their menus, keys, preferences and added files.
    TrackMenus& trackMenus() { return *tracks_; }

    // ---- For the desktop's media controls and the screen saver
    // Moves the shown movie to a time within it, as the position slider does, to the frame.
    void moveTo(double seconds);
    // The file of the movie in the viewer; empty when none is loaded.
    QString shownPath() const;
    // Where the movie in the viewer is and how long it is, in seconds; 0 when none is loaded.
    double shownSeconds() const;
    double shownLength() const;

    // ---- Where a movie starts
    // Asked, as each movie is viewed, where in it to start; 0 is its beginning.
    using StartAt = std::function<double(const QString& path)>;
    void setStartAt(StartAt startAt) { startAt_ = std::move(startAt); }
    // The next view of this file starts there, whatever startAt says, once.
    void startNextViewOf(const QString& path, double seconds);

    // The slider's value as the 0..1 fraction the player speaks in.
    static float floatValue(const QSlider* slider);
    static void setFloatValue(QSlider* slider, float value);

signals:
    // Something the transport shows may have changed: playing, the movie, the selection.
    void stateChanged();
    // The position jumped rather than played on.
    void positionJumped();
    // A movie was put in the viewer.
    void viewed(const QString& path);
    // The movie in the viewer is about to be paused or replaced, at that time of that length.
    void leaving(const QString& path, double seconds, double length);
    // The movie in the viewer played to its end.
    void playedToEnd(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bringListBackIfAlone();
    // Called by the movie toolbox, on its own thread, when a movie plays to its end.
    static void movieEnded(toolbox::CallBack callBack, void* messages);
    void movieFinished(const toolbox::CallBack& callBack);
    void setupMoviePlayingCompleteCallback(toolbox::Movie movie);
    void appendEntry(EntryRecord entry);
    // A greyed entry whose file is back becomes a movie again.
    bool reviveEntry(int row);
    int nextViewableRow(int after) const;
    MovieView& movieView();
    void stopShownMovie();
    void leaveShownMovie();
    double startPosition(const QString& path, toolbox::Movie movie);
    void viewRow(int row);
    void showPosition();
    void setTimeSlider(float fraction);
    void setPlayImages(bool playing);

    const Outlets ui_;
    PlayerMessages& messages_;
    MovieViewFactory makeMovieView_;
    TransportIcons icons_;
    std::unique_ptr<FullScreenWindow> fullScreenWindow_;
    // The end-of-movie callback armed for the movie shown; only the main thread touches it.
    toolbox::CallBack endCallBack_;
    std::vector<EntryRecord> objects_;
    PlaylistModel* model_ = nullptr;
    std::unique_ptr<PlaylistIntake> intake_;
    bool inFullscreen_ = false;
    bool buttonState_ = false;
    std::unique_ptr<MovieView> view_;
    QTimer* secondTimer_ = nullptr;
    std::shared_ptr<CLMovie> mov_;
    QString cLength_;

    std::unique_ptr<Fader> mainFades_;
    std::unique_ptr<TrackMenus> tracks_;
    std::unique_ptr<VolumePreference> volumePreference_;
    bool settingTimeSlider_ = false;
    StartAt startAt_;
    QString startNextPath_;
    double startNextSeconds_ = 0;
};

}  // namespace reel
