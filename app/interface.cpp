#include "app/interface.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "app/app_controller.h"
#include "app/desktop_controls.h"
#include "app/preferences_dialog.h"
#include "app/recent_menu.h"
#include "app/resume_keeper.h"
#include "app/session_keeper.h"
#include "app/track_menus.h"
#include "platform/history_store.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "ui/button_keys.h"
#include "ui/full_screen_window.h"
#include "ui/image_button.h"
#include "ui/player_messages.h"
#include "ui/seek_buttons.h"
#include "ui_controller_window.h"
#include "ui_playlist_window.h"

namespace reel {

namespace {

// QApplication::quit() first asks every window to close and gives up if one
// refuses; the viewer and the controller always refuse, fading instead.
void quitPlayer() { QCoreApplication::exit(0); }

}  // namespace

Interface::Interface(MovieViewFactory makeMovieView)
    : messages_(std::make_unique<PlayerMessages>()),
      playlistWindow_(std::make_unique<QMainWindow>()),
      controllerWindow_(std::make_unique<ControllerWindow>()),
      viewerWindow_(std::make_unique<FadeWindow>()) {
    Ui::PlaylistWindow playlist;
    playlist.setupUi(playlistWindow_.get());
    Ui::ControllerWindow panel;
    panel.setupUi(controllerWindow_.get());

    const Outlets outlets{
        .mainWindow = playlistWindow_.get(),
        .tableView = playlist.tableView,
        .addButton = playlist.addButton,
        .removeButton = playlist.removeButton,
        .viewButton = playlist.viewButton,
        .nameField = playlist.nameField,
        .sizeField = playlist.sizeField,
        .lengthField = playlist.lengthField,
        .standardField = playlist.standardField,
        .videoFormatField = playlist.videoFormatField,
        .audioFormatField = playlist.audioFormatField,
        .fpsField = playlist.fpsField,
        .tracksField = playlist.tracksField,
        .audioMenu = playlist.audioMenu,
        .subtitleMenu = playlist.subtitleMenu,
        .viewerWindow = viewerWindow_.get(),
        .cWindow = controllerWindow_.get(),
        .cNameField = panel.cNameField,
        .cTimeField = panel.cTimeField,
        .mainButton = panel.mainButton,
        .timeSlider = panel.timeSlider,
        .volumeSlider = panel.volumeSlider,
    };
    controller_ = std::make_unique<AppController>(outlets, *messages_, std::move(makeMovieView));
    AppController& c = *controller_;
    PlayerMessages& messages = *messages_;

    // Actions: what each control and menu item sends.
    QObject::connect(playlist.addButton, &QPushButton::clicked, &c, &AppController::addItem);
    QObject::connect(playlist.actionAdd, &QAction::triggered, &c, &AppController::addItem);
    QObject::connect(playlist.removeButton, &QPushButton::clicked, &c, &AppController::removeItem);
    QObject::connect(playlist.actionRemove, &QAction::triggered, &c, &AppController::removeItem);
    // Playlist files
    QObject::connect(playlist.actionOpenPlaylist, &QAction::triggered, &c, &AppController::openPlaylist);
    QObject::connect(playlist.actionSavePlaylistAs, &QAction::triggered, &c, &AppController::savePlaylistAs);
    QObject::connect(playlist.actionMoveUp, &QAction::triggered, &c, [&c] { c.moveSelectionBy(-1); });
    QObject::connect(playlist.actionMoveDown, &QAction::triggered, &c, [&c] { c.moveSelectionBy(1); });
    QObject::connect(playlist.actionQuit, &QAction::triggered, qApp, &quitPlayer, Qt::QueuedConnection);
    QObject::connect(playlist.viewButton, &QPushButton::clicked, &c, &AppController::viewItem);
    QObject::connect(playlist.actionView, &QAction::triggered, &c, &AppController::viewItem);
    QObject::connect(panel.mainButton, &ImageButton::clicked, &c, &AppController::mainButtonClicked);
    QObject::connect(playlist.actionPlayPause, &QAction::triggered, &c, &AppController::mainButtonClicked);
    // The seek buttons and the menu step and scan through the same messages.
    for (SeekButton* button :
         {static_cast<SeekButton*>(panel.rwButton), static_cast<SeekButton*>(panel.ffButton)})
        QObject::connect(button, &SeekButton::command, &messages, &PlayerMessages::fast);
    QObject::connect(playlist.actionNext, &QAction::triggered, &messages,
                     [&messages] { emit messages.fast(FastCommand::Next); });
    QObject::connect(playlist.actionPrevious, &QAction::triggered, &messages,
                     [&messages] { emit messages.fast(FastCommand::Previous); });
    QObject::connect(panel.timeSlider, &QSlider::valueChanged, &c, &AppController::timeSlide);
    QObject::connect(panel.volumeSlider, &QSlider::valueChanged, &c, &AppController::volumeSlide);
    QObject::connect(panel.listButton, &QToolButton::clicked, &c, &AppController::showList);
    QObject::connect(playlist.actionShowList, &QAction::triggered, &c, &AppController::showList);
    QObject::connect(playlist.actionShowController, &QAction::triggered, &c, &AppController::showController);
    QObject::connect(playlist.actionFullScreen, &QAction::triggered, &c, &AppController::fullScreen);
    QObject::connect(viewerWindow_.get(), &FadeWindow::pictureDoubleClicked, &c, &AppController::fullScreen);
    QObject::connect(&messages, &PlayerMessages::moved, controllerWindow_.get(), &ControllerWindow::show);

    // Playback keys work in every window of the player, the picture's
    // included, and also while the playlist (whose menus hold them) is hidden:
    // a shortcut counts only while a window it belongs to is on screen.
    const QList<QAction*> keys{playlist.actionPlayPause, playlist.actionNext,
                               playlist.actionPrevious,  playlist.actionFullScreen,
                               playlist.actionShowList,  playlist.actionShowController};
    for (QAction* action : keys) action->setShortcutContext(Qt::ApplicationShortcut);

    c.awakeFromNib();

    // Tracks: the menus fill as a movie plays; the keys cycle, as the menus choose.
    TrackMenus& tracks = c.trackMenus();
    QObject::connect(playlist.actionNextAudio, &QAction::triggered, &tracks,
                     [&tracks] { tracks.cycle(TrackInfo::Kind::Audio); });
    QObject::connect(playlist.actionNextSubtitle, &QAction::triggered, &tracks,
                     [&tracks] { tracks.cycle(TrackInfo::Kind::Subtitle); });
    QObject::connect(playlist.actionLoadSubtitle, &QAction::triggered, &tracks,
                     [&tracks, window = viewerWindow_.get()] { tracks.loadSubtitle(window); });
    tracks.contextMenu()->addAction(playlist.actionLoadSubtitle);
    QObject::connect(playlist.actionPreferences, &QAction::triggered, &tracks,
                     [this, &tracks, window = playlistWindow_.get()] {
                         auto* dialog = new PreferencesDialog(window);
                         dialog->setAttribute(Qt::WA_DeleteOnClose);
                         dialog->setTrackPreferences(tracks.preferences());
                         QObject::connect(dialog, &QDialog::accepted, &tracks, [this, &tracks, dialog] {
                             tracks.setPreferences(dialog->trackPreferences());
                             if (resume_) resume_->setEnabled(PlayerPreferences::load().resumeMovies);
                         });
                         dialog->open();
                     });
    for (QAction* action :
         {playlist.actionNextAudio, playlist.actionNextSubtitle, playlist.actionLoadSubtitle})
        action->setShortcutContext(Qt::ApplicationShortcut);
    const QList<QAction*> trackKeys{playlist.actionNextAudio, playlist.actionNextSubtitle,
                                    playlist.actionLoadSubtitle};
    FullScreenWindow* full = c.fullscreenWindow();
    for (QWidget* window : {static_cast<QWidget*>(viewerWindow_.get()),
                            static_cast<QWidget*>(controllerWindow_.get()), static_cast<QWidget*>(full)})
        window->addActions(keys + trackKeys);
    QObject::connect(full, &FullScreenWindow::pictureDoubleClicked, &c, &AppController::fullScreen);
    QObject::connect(full, &FullScreenWindow::moved, &messages, &PlayerMessages::moved);

    // Keyboard and assistive technology: a seek button pressed without the
    // mouse steps as a click does, and focused buttons take Space and Return.
    QObject::connect(panel.rwButton, &QPushButton::clicked, &messages,
                     [&messages] { emit messages.fast(FastCommand::Previous); });
    QObject::connect(panel.ffButton, &QPushButton::clicked, &messages,
                     [&messages] { emit messages.fast(FastCommand::Next); });
    auto* buttonKeys = new FocusedButtonKeys(controllerWindow_.get());
    buttonKeys->watchButtonsOf(controllerWindow_.get());
    buttonKeys->watchButtonsOf(playlistWindow_.get());

    // Media keys, the desktop's media controls and the screen saver.
    desktopControls_ = std::make_unique<DesktopControls>(c, messages);
    recentMenuOutlet_ = playlist.recentMenu;
    recentMenuOutlet_->setEnabled(false);  // until there is a history to list
}

void Interface::keepHistory(const QString& folder) {
    if (history_) return;
    history_ = std::make_unique<platform::HistoryStore>(folder);
    resume_ = std::make_unique<ResumeKeeper>(*controller_, *history_);
    resume_->setEnabled(PlayerPreferences::load().resumeMovies);
    recent_ = std::make_unique<RecentMenu>(recentMenuOutlet_, *controller_, *history_);
    recentMenuOutlet_->setEnabled(true);
}

Interface::~Interface() {
    // What refers to the controller goes first, then the controller: it refers to the windows' controls.
    recent_.reset();
    resume_.reset();
    history_.reset();
    desktopControls_.reset();
    controller_.reset();
}

namespace {

// Closing the playlist window ends the player: on this desktop nothing else
// would be left to bring it back with.
class QuitOnClose : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) QTimer::singleShot(0, qApp, &quitPlayer);
        return false;
    }
};

}  // namespace

int runApplication(int& argc, char** argv, const std::vector<std::string>& files,
                   const std::function<void(Interface&)>& launched) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reel"));
    QApplication::setApplicationVersion(QStringLiteral(REEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.reelplayer.Reel"));

    Interface interface;
    interface.desktopControls().publish();
    QuitOnClose quitOnClose;
    interface.playlistWindow().installEventFilter(&quitOnClose);
    interface.playlistWindow().show();
    // The controller floats low in the middle of the screen, out of the picture's way.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        ControllerWindow& controls = interface.controllerWindow();
        controls.move(room.center().x() - controls.width() / 2,
                      room.bottom() - controls.height() - room.height() / 10);
    }
    // The playlist survives crashes in a state file of its own.
    SessionKeeper session(interface.controller(), SessionKeeper::defaultFolder());
    interface.keepHistory(SessionKeeper::defaultFolder());
    QTimer::singleShot(0, &interface.controller(), [&] {
        interface.controller().applicationDidFinishLaunching();
        interface.controller().addFiles(files);
        if (launched) launched(interface);
        // Asked last: files handed over by other Reels are taken while the question waits.
        session.start(PlayerPreferences::load().restorePlaylist, [&](int entries) {
            QMessageBox question(QMessageBox::Question, QObject::tr("Restore the playlist?"),
                                 QObject::tr("Reel did not end normally last time. Restore its playlist "
                                             "of %n movies?",
                                             nullptr, entries),
                                 QMessageBox::NoButton, &interface.playlistWindow());
            QPushButton* restore = question.addButton(QObject::tr("Restore"), QMessageBox::AcceptRole);
            question.addButton(QObject::tr("Start empty"), QMessageBox::RejectRole);
            question.setDefaultButton(restore);
            question.exec();
            return question.clickedButton() == restore;
        });
    });
    const int status = app.exec();
    interface.resume()->recordNow();
    session.endCleanly();
    return status;
}

}  // namespace reel
