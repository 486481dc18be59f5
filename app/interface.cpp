#include "app/interface.h"

#include <QApplication>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app/app_controller.h"
#include "transport/fade_window.h"
#include "ui_controller_window.h"
#include "ui_playlist_window.h"

namespace reel {

Interface::Interface()
    : playlistWindow_(std::make_unique<QMainWindow>()),
      controllerWindow_(std::make_unique<IControllerWindow>()),
      viewerWindow_(std::make_unique<FadeWindow>()),
      controller_(std::make_unique<AppController>()) {
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
    QObject::connect(playlist.actionQuit, &QAction::triggered, qApp, &QApplication::quit, Qt::QueuedConnection);

    c.awakeFromNib();
}

Interface::~Interface() {
    // The controller goes first: it refers to the windows' controls.
    controller_.reset();
}

int runApplication(int& argc, char** argv, const QStringList& files) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reel"));
    QApplication::setApplicationVersion(QStringLiteral(REEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("reel"));

    Interface interface;
    interface.playlistWindow().show();
    QTimer::singleShot(0, &interface.controller(), [&] {
        interface.controller().applicationDidFinishLaunching();
        interface.controller().addFiles(files);
    });
    return app.exec();
}

}  // namespace reel
