#include "app/interface.h"

#include <QApplication>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "app/app_controller.h"
#include "platform/notification_center.h"
#include "transport/fade_window.h"
#include "ui/full_screen_window.h"
#include "ui/image_button.h"
#include "ui_controller_window.h"
#include "ui_playlist_window.h"

namespace reel {

namespace {

// QApplication::quit() first asks every window to close and gives up if one
// refuses; the viewer and the controller always refuse, fading instead.
void quitPlayer() { QCoreApplication::exit(0); }

}  // namespace

Interface::Interface(MovieViewFactory makeMovieView)
    : playlistWindow_(std::make_unique<QMainWindow>()),
      controllerWindow_(std::make_unique<IControllerWindow>()),
      viewerWindow_(std::make_unique<FadeWindow>()),
      controller_(std::make_unique<AppController>(std::move(makeMovieView))) {
    Ui::PlaylistWindow playlist;
    playlist.setupUi(playlistWindow_.get());
    Ui::ControllerWindow panel;
    panel.setupUi(controllerWindow_.get());

    AppController& c = *controller_;
    c.addButton = playlist.addButton;
    c.audioFormatField = playlist.audioFormatField;
    c.fpsField = playlist.fpsField;
    c.lengthField = playlist.lengthField;
    c.mainWindow = playlistWindow_.get();
    c.nameField = playlist.nameField;
    c.removeButton = playlist.removeButton;
    c.sizeField = playlist.sizeField;
    c.standardField = playlist.standardField;
    c.tableView = playlist.tableView;
    c.videoFormatField = playlist.videoFormatField;
    c.viewButton = playlist.viewButton;
    c.viewerWindow = viewerWindow_.get();
    c.cNameField = panel.cNameField;
    c.cTimeField = panel.cTimeField;
    c.mainButton = panel.mainButton;
    c.timeSlider = panel.timeSlider;
    c.volumeSlider = panel.volumeSlider;
    c.cWindow = controllerWindow_.get();

    // Actions: what each control and menu item sends.
    QObject::connect(playlist.addButton, &QPushButton::clicked, &c, &AppController::addItem);
    QObject::connect(playlist.actionAdd, &QAction::triggered, &c, &AppController::addItem);
    QObject::connect(playlist.removeButton, &QPushButton::clicked, &c, &AppController::removeItem);
    QObject::connect(playlist.actionRemove, &QAction::triggered, &c, &AppController::removeItem);
    QObject::connect(playlist.actionQuit, &QAction::triggered, qApp, &quitPlayer, Qt::QueuedConnection);
    QObject::connect(playlist.viewButton, &QPushButton::clicked, &c, &AppController::viewItem);
    QObject::connect(playlist.actionView, &QAction::triggered, &c, &AppController::viewItem);
    QObject::connect(panel.mainButton, &ImageButton::clicked, &c,
                     [&c, button = panel.mainButton] { c.mainButtonClicked(button); });
    QObject::connect(playlist.actionPlayPause, &QAction::triggered, &c,
                     [&c, button = panel.mainButton] { c.mainButtonClicked(button); });
    // The menu steps through the playlist with the same words the seek buttons use.
    QObject::connect(playlist.actionNext, &QAction::triggered, &c, [] {
        platform::NotificationCenter::defaultCenter().postNotificationName(platform::kFastNotification,
                                                                           "next");
    });
    QObject::connect(playlist.actionPrevious, &QAction::triggered, &c, [] {
        platform::NotificationCenter::defaultCenter().postNotificationName(platform::kFastNotification,
                                                                           "previous");
    });
    QObject::connect(panel.timeSlider, &QSlider::valueChanged, &c, &AppController::timeSlide);
    QObject::connect(panel.volumeSlider, &QSlider::valueChanged, &c,
                     [&c, slider = panel.volumeSlider] { c.volumeSlide(slider); });
    QObject::connect(panel.listButton, &QToolButton::clicked, &c, &AppController::showList);
    QObject::connect(playlist.actionShowList, &QAction::triggered, &c, &AppController::showList);
    QObject::connect(playlist.actionShowController, &QAction::triggered, &c, &AppController::showController);
    QObject::connect(playlist.actionFullScreen, &QAction::triggered, &c, &AppController::fullScreen);
    QObject::connect(viewerWindow_.get(), &FadeWindow::pictureDoubleClicked, &c, &AppController::fullScreen);

    // Playback keys work in every window of the player, the picture's
    // included, and also while the playlist (whose menus hold them) is hidden:
    // a shortcut counts only while a window it belongs to is on screen.
    const QList<QAction*> keys{playlist.actionPlayPause, playlist.actionNext,
                               playlist.actionPrevious,  playlist.actionFullScreen,
                               playlist.actionShowList,  playlist.actionShowController};
    for (QAction* action : keys) action->setShortcutContext(Qt::ApplicationShortcut);

    controllerWindow_->awakeFromNib();
    c.awakeFromNib();
    for (QWidget* window :
         {static_cast<QWidget*>(viewerWindow_.get()), static_cast<QWidget*>(controllerWindow_.get()),
          static_cast<QWidget*>(c.fullscreenWindow())})
        window->addActions(keys);
    QObject::connect(c.fullscreenWindow(), &FullScreenWindow::pictureDoubleClicked, &c,
                     &AppController::fullScreen);
}

Interface::~Interface() {
    // The controller goes first: it refers to the windows' controls.
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

int runApplication(int& argc, char** argv, const std::vector<std::string>& files) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reel"));
    QApplication::setApplicationVersion(QStringLiteral(REEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("reel"));

    Interface interface;
    QuitOnClose quitOnClose;
    interface.playlistWindow().installEventFilter(&quitOnClose);
    interface.playlistWindow().show();
    // The controller floats low in the middle of the screen, out of the picture's way.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        IControllerWindow& controls = interface.controllerWindow();
        controls.move(room.center().x() - controls.width() / 2,
                      room.bottom() - controls.height() - room.height() / 10);
    }
    QTimer::singleShot(0, &interface.controller(), [&] {
        interface.controller().applicationDidFinishLaunching();
        interface.controller().addFiles(files);
    });
    return app.exec();
}

}  // namespace reel
