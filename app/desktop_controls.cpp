#include "app/desktop_controls.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEvent>
#include <QFileInfo>
#include <QMainWindow>
#include <QMimeData>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <cmath>

#include "app/app_controller.h"
#include "app/playlist_intake.h"
#include "app/playlist_model.h"
#include "platform/screen_saver.h"
#include "transport/fade_window.h"
#include "ui/player_messages.h"

namespace reel {

namespace {

constexpr double kMicroseconds = 1e6;

const QString kTrackPrefix = QStringLiteral("/org/reelplayer/Reel/track/");

}  // namespace

DesktopControls::DesktopControls(AppController& controller, PlayerMessages& messages, QObject* parent)
    : QObject(parent),
      controller_(controller),
      messages_(messages),
      service_(std::make_unique<platform::MprisService>(*this, QStringLiteral("org.reelplayer.Reel"),
                                                        acceptedMimeTypes())),
      screenSaver_(std::make_unique<platform::ScreenSaverInhibitor>(QDBusConnection::sessionBus())) {
    const Outlets& ui = controller_.outlets();
    connect(&controller_, &AppController::stateChanged, this, &DesktopControls::refresh);
    connect(&controller_, &AppController::positionJumped, this,
            [this] { service_->seeked(positionMicroseconds()); });
    connect(ui.volumeSlider, &QSlider::valueChanged, this, &DesktopControls::refresh);
    connect(&controller_.intake(), &PlaylistIntake::finished, this, &DesktopControls::intakeFinished);
    // The viewer coming and going is the movie starting and stopping for the desktop.
    ui.viewerWindow->installEventFilter(this);
    refresh();
}

DesktopControls::~DesktopControls() {
    controller_.outlets().viewerWindow->removeEventFilter(this);
    // Quitting lets the screen sleep again at once, not after the release delay.
    screenSaver_.reset();
}

bool DesktopControls::publish() { return service_->registerOn(QDBusConnection::sessionBus()); }

QStringList DesktopControls::acceptedMimeTypes() {
    return {QStringLiteral("video/x-msvideo"), QStringLiteral("video/mpeg"),
            QStringLiteral("video/quicktime"), QStringLiteral("video/mp4"),
            QStringLiteral("video/x-dv"),      QStringLiteral("video/dv"),
            QStringLiteral("video/x-mpeg2"),   QStringLiteral("video/dvd")};
}

bool DesktopControls::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
        QTimer::singleShot(0, this, &DesktopControls::refresh);
    return QObject::eventFilter(watched, event);
}

platform::MprisState DesktopControls::currentState() const {
    platform::MprisState state;
    const Outlets& ui = controller_.outlets();
    const int rows = int(controller_.objects().size());
    const int row = controller_.selectedRow();
    // As the seek buttons step: from no selection the next is the first.
    state.canGoNext = row + 1 < rows;
    state.canGoPrevious = row > 0;
    // In double from the slider's steps: 400 of 1000 is told as 0.4, not as the nearest float.
    const QSlider* volume = ui.volumeSlider;
    const int span = volume->maximum() - volume->minimum();
    state.volume = span > 0 ? double(volume->value() - volume->minimum()) / double(span) : 0.0;

    const MovieView* view = controller_.view();
    const bool loaded = view && view->movie();
    state.canPlay = loaded || rows > 0;
    state.canPause = loaded;
    const bool seen = ui.viewerWindow->isVisible() || controller_.inFullscreen();
    if (loaded && seen)
        state.status = view->isPlaying() ? QStringLiteral("Playing") : QStringLiteral("Paused");
    if (!loaded) return state;

    const toolbox::Movie movie = view->movie().get();
    const double scale = double(toolbox::GetMovieTimeScale(movie));
    const QString path = QString::fromStdString(movie->source);
    state.track.id = kTrackPrefix + QString::number(trackNumber_);
    state.track.lengthMicroseconds =
        scale > 0 ? qint64(std::llround(double(toolbox::GetMovieDuration(movie)) / scale * kMicroseconds))
                  : 0;
    state.track.title = QFileInfo(path).completeBaseName();
    state.track.url = QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
    state.canSeek = state.track.lengthMicroseconds > 0;
    return state;
}

bool DesktopControls::wantsScreenAwake() const { return currentState().status == QLatin1String("Playing"); }

void DesktopControls::refresh() {
    // Each movie loaded is a new track, even the same file viewed again.
    const MovieView* view = controller_.view();
    const void* movie = view && view->movie() ? view->movie().get() : nullptr;
    if (movie && movie != trackMovie_) ++trackNumber_;
    trackMovie_ = movie;
    const platform::MprisState state = currentState();
    service_->update(state);
    screenSaver_->setWanted(state.status == QLatin1String("Playing"));
}

// ---- What the desktop asks

void DesktopControls::raise() {
    QMainWindow* window = controller_.outlets().mainWindow;
    if (!window->isVisible() || window->windowOpacity() < 1.0) controller_.fadeIn();
    window->raise();
    window->activateWindow();
}

void DesktopControls::quit() {
    // As the Quit menu item does, after the bus call has been answered.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

void DesktopControls::play() {
    const MovieView* view = controller_.view();
    if (view && view->movie() && view->isPlaying() && view->rate() != 1.0f) {
        emit messages_.fast(FastCommand::Play);  // scanning: back to normal speed
        return;
    }
    if (service_->state().status != QLatin1String("Playing")) playPause();
}

void DesktopControls::pause() {
    if (service_->state().status == QLatin1String("Playing")) playPause();
}

void DesktopControls::playPause() {
    if (!service_->state().canPlay) return;
    // The play button plays the selected entry; from the desktop, with none
    // selected, the playlist plays from its start.
    const MovieView* view = controller_.view();
    if (!(view && view->movie()) && controller_.selectedRow() < 0) {
        controller_.selectRow(0);
        controller_.showSelectedEntryInfo();
    }
    controller_.mainButtonClicked();
}

void DesktopControls::stop() {
    if (service_->state().status == QLatin1String("Playing")) controller_.mainButtonClicked();
    FadeWindow* viewer = controller_.outlets().viewerWindow;
    if (viewer->isVisible()) viewer->fadeOut();
}

void DesktopControls::next() {
    if (service_->state().canGoNext) emit messages_.fast(FastCommand::Next);
}

void DesktopControls::previous() {
    if (service_->state().canGoPrevious) emit messages_.fast(FastCommand::Previous);
}

void DesktopControls::seekTo(qint64 microseconds) {
    controller_.moveTo(double(microseconds) / kMicroseconds);
    // At the end, as when the movie gets there by itself; a playing movie gets there now.
    const MovieView* view = controller_.view();
    if (microseconds >= service_->state().track.lengthMicroseconds && view && !view->isPlaying())
        controller_.playNextEntry();
}

void DesktopControls::setVolume(double volume) {
    // Through the slider, which sets the player's volume and stores it.
    AppController::setFloatValue(controller_.outlets().volumeSlider, float(volume));
}

void DesktopControls::openFile(const QString& path) {
    // Taken or refused as a file dropped on the playlist would be.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(path)});
    if (validateDrop(&dropped) == DragOperation::None) return;
    if (openedRow_ < 0) openedRow_ = int(controller_.objects().size());
    controller_.intake().add(draggedFiles(&dropped));
}

void DesktopControls::intakeFinished() {
    const int row = openedRow_;
    openedRow_ = -1;
    if (row < 0 || row >= int(controller_.objects().size())) return;  // not a movie after all
    controller_.selectRow(row);
    controller_.showSelectedEntryInfo();
    controller_.viewItem();
}

qint64 DesktopControls::positionMicroseconds() const {
    const MovieView* view = controller_.view();
    if (!view || !view->movie()) return 0;
    const toolbox::Movie movie = view->movie().get();
    const double scale = double(toolbox::GetMovieTimeScale(movie));
    if (scale <= 0) return 0;
    return qint64(std::llround(double(toolbox::GetMovieTime(movie, nullptr)) / scale * kMicroseconds));
}

}  // namespace reel
