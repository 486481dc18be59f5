#include "app/app_controller.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <cmath>

#include "app/json.h"
#include "app/playlist_intake.h"
#include "app/playlist_model.h"
#include "app/playlist_table.h"
#include "media/cl_movie.h"
#include "media/hms_format.h"
#include "platform/file_names.h"
#include "platform/images.h"
#include "platform/log.h"
#include "platform/mpv_movie_view.h"
#include "platform/notification_center.h"
#include "platform/preference_file.h"
#include "platform/window_levels.h"
#include "transport/fade_window.h"
#include "transport/fader.h"
#include "transport/volume_preference.h"
#include "ui/full_screen_window.h"
#include "ui/image_button.h"

namespace reel {

QIcon pause, bPause, play, bPlay;

void MyCallBackProc(toolbox::QTCallBack, long) {
    platform::NotificationCenter::defaultCenter().postNotificationName(platform::kMovieFinishedNotification);
}

namespace {

// A picture with no size (sound only) still gets a window to show its name on.
constexpr QSize kNoPictureSize{480, 270};

// What the open dialog offers, lower case, in its order.
const QStringList kOpenPanelTypes = {"avi", "mpg", "mpeg", "mov", "mpv", "mp4", "vob", "dv"};

// The local files a drag carries, in its order; other URLs are not files.
std::vector<std::string> draggedFiles(const QMimeData* dragged) {
    std::vector<std::string> files;
    if (!dragged || !dragged->hasUrls()) return files;
    for (const QUrl& url : dragged->urls()) {
        if (auto path = platform::localPath(url)) files.push_back(std::move(*path));
    }
    return files;
}

QString fileTitle(const std::string& path) {
    return QFileInfo(platform::displayText(path)).completeBaseName();
}

}  // namespace

AppController::AppController(MovieViewFactory makeMovieView, QObject* parent)
    : QObject(parent), makeMovieView_(std::move(makeMovieView)) {
    if (!makeMovieView_) makeMovieView_ = [] { return std::make_unique<platform::MpvMovieView>(); };
}

AppController::~AppController() {
    for (int id : observers_) platform::NotificationCenter::defaultCenter().removeObserver(id);
    dropMovieView();
}

void AppController::awakeFromNib() {
    mainFades_ = std::make_unique<Fader>(mainWindow, Fader::Behaviour{});
    buttonState_ = false;
    pause = platform::imageNamed("whitepause.png");
    bPause = platform::imageNamed("bluepause.png");
    play = platform::imageNamed("whiteplay.png");
    bPlay = platform::imageNamed("blueplay.png");
    auto& center = platform::NotificationCenter::defaultCenter();
    observers_.push_back(center.addObserver(platform::kMovieFinishedNotification,
                                            [this](const platform::Notification&) { movieFinished(); }));
    observers_.push_back(center.addObserver(
        platform::kFastNotification, [this](const platform::Notification& note) { fast(note.object); }));
    gMoviePlayingCompleteCallBack = toolbox::NewQTCallBackUPP(MyCallBackProc);
    objects_.clear();
    model_ = new PlaylistModel(*this, this);
    tableView->setModel(model_);
    intake_ = std::make_unique<PlaylistIntake>(fileOpener(),
                                               [this](EntryRecord entry) { appendEntry(std::move(entry)); });
    intake_->setProgressParent(mainWindow);

    connect(tableView, &PlaylistTable::clickedAnywhere, this, &AppController::tableClicked);
    // Keyboard moves through the table refresh the panel as clicks do.
    connect(tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AppController::tableClicked);
    tableView->setAcceptDrops(true);
    tableView->viewport()->setAcceptDrops(true);
    tableView->setDragDropMode(QAbstractItemView::DropOnly);
    tableView->setDropIndicatorShown(false);

    viewButton->setEnabled(false);
    removeButton->setEnabled(false);
    inFullscreen_ = false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    _fullscreenWindow =
        std::make_unique<FullScreenWindow>(screen ? screen->geometry() : QRect(0, 0, 1280, 1024));
    jikan = new QTimer(this);
    connect(jikan, &QTimer::timeout, this, &AppController::checkTime);
    jikan->start(1000);

    mainButton->setImage(play);
    mainButton->setAlternateImage(bPlay);
    connect(viewerWindow, &FadeWindow::fadedOut, this, [this] {
        // The viewer's fade-out gives up the hold on the movie it shows, once.
        if (view_ && view_->movie() == mov_.get()) mov_.reset();
    });
    readSettings();  // the panel says "No Video" from the start

    // The volume is kept in the settings file, which is written off the main thread.
    volumePreference_ = std::make_unique<VolumePreference>(
        VolumePreference::fileStore(std::make_shared<platform::PreferenceFile>(platform::settingsPath())));
    connect(volumePreference_.get(), &VolumePreference::restored, this,
            [this](float volume) { setFloatValue(volumeSlider, volume); });
    connect(volumeSlider, &QSlider::sliderReleased, this,
            [this] { volumePreference_->dragEnded(floatValue(volumeSlider)); });
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { volumePreference_->quit(); });
}

void AppController::applicationDidFinishLaunching() { volumePreference_->restore(floatValue(volumeSlider)); }

// ---- Playlist

void AppController::addItem() {
    auto* panel = new QFileDialog(mainWindow, tr("Add Movies"));
    panel->setFileMode(QFileDialog::ExistingFiles);
    QStringList patterns;
    for (const QString& type : kOpenPanelTypes) patterns << "*." + type << "*." + type.toUpper();
    panel->setNameFilters({tr("Movies (%1)").arg(patterns.join(' ')), tr("All files (*)")});
    panel->setWindowModality(Qt::WindowModal);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
        // As URLs, which keep names that are not UTF-8 (where the dialog lists them) as bytes.
        std::vector<std::string> chosen;
        for (const QUrl& url : panel->selectedUrls()) {
            if (auto path = platform::localPath(url)) chosen.push_back(std::move(*path));
        }
        openPanelDidEnd(chosen, result == QDialog::Accepted ? 1 : 0);
    });
    panel->open();
}

void AppController::openPanelDidEnd(const QStringList& filenames, int returnCode) {
    // Text names only files whose names are UTF-8.
    std::vector<std::string> paths;
    for (const QString& name : filenames) paths.push_back(name.toStdString());
    openPanelDidEnd(paths, returnCode);
}

void AppController::openPanelDidEnd(const std::vector<std::string>& paths, int returnCode) {
    if (returnCode != 1) return;
    intake_->add(paths);
}

void AppController::addFiles(const std::vector<std::string>& paths) {
    std::vector<std::string> absolute;
    for (const std::string& path : paths) absolute.push_back(platform::absolutePath(path));
    intake_->add(absolute);
}

void AppController::appendEntry(EntryRecord entry) {
    model_->appendRow([&] { objects_.push_back(std::move(entry)); });
    readSettings();
}

void AppController::removeItem() {
    const int row = selectedRow();
    if (row < 0 || row >= int(objects_.size())) return;
    model_->removeRow(row, [&] { objects_.erase(objects_.begin() + row); });
    readSettings();
}

// ---- Table and information panel

int AppController::numberOfRowsInTableView() const { return int(objects_.size()); }

QString AppController::objectValueForTableColumn(int, int row) const {
    if (row < 0 || row >= int(objects_.size())) return {};
    return platform::displayText(objects_[std::size_t(row)].name);
}

int AppController::selectedRow() const {
    if (!tableView || !tableView->selectionModel()) return -1;
    const QModelIndexList rows = tableView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void AppController::selectRow(int row) {
    tableView->selectionModel()->select(model_->index(row, 0),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    tableView->selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
}

void AppController::tableClicked() { readSettings(); }

void AppController::readSettings() {
    const int row = selectedRow();
    if (row >= 0 && row < int(objects_.size())) {
        viewButton->setEnabled(true);
        removeButton->setEnabled(true);
        const EntryRecord& entry = objects_[std::size_t(row)];
        nameField->setText(fileTitle(entry.name));
        sizeField->setText(QString::fromStdString(entry.size));
        lengthField->setText(QString::fromStdString(entry.length));
        standardField->setText(QString::fromStdString(entry.standard));
        videoFormatField->setText(QString::fromStdString(entry.type));
        audioFormatField->setText(QString::fromStdString(entry.audioType));
        fpsField->setText(QString::fromStdString(entry.rate));
    } else {
        nameField->setText(QCoreApplication::translate("AppController", "No Video"));
        for (QLabel* field :
             {sizeField, lengthField, standardField, videoFormatField, audioFormatField, fpsField})
            field->setText(QString());
        removeButton->setEnabled(false);
        viewButton->setEnabled(false);
    }
}

DragOperation AppController::validateDrop(const QMimeData* dragged) const {
    const std::vector<std::string> files = draggedFiles(dragged);
    if (files.empty()) return DragOperation::None;
    // Only the first file is looked at: a drag is taken or refused whole.
    const std::string ext = upperExtension(files.front());
    // The drag check lets one more through than the playlist takes: disc images.
    return isAcceptedExtension(ext) || ext == "BIN" ? DragOperation::Link : DragOperation::None;
}

bool AppController::acceptDrop(const QMimeData* dragged) {
    const std::vector<std::string> files = draggedFiles(dragged);
    if (files.empty()) return false;
    intake_->add(files);
    return true;
}

// ---- Viewer

void AppController::dropMovieView() {
    if (!view_) return;
    // Its movie's end must not reach the playlist any more, even if it is under way now.
    if (CLMovie* shown = view_->movie()) {
        if (auto& clock = shown->QTMovie()->clock) clock->retire();
    }
    view_->stop();
    if (viewerWindow && viewerWindow->contentView() == view_.get()) viewerWindow->setContentView(nullptr);
    view_.reset();  // a replaced view no longer plays: its player goes with it
}

void AppController::viewItem() {
    const int row = selectedRow();
    if (row < 0 || row >= int(objects_.size())) return;  // nothing to view
    // The new movie goes where the picture is: leave full screen and come back to it.
    const bool wasFullscreen = inFullscreen_;
    if (wasFullscreen) fullScreen();

    if (viewerWindow->isVisible()) viewerWindow->fadeOut();
    dropMovieView();
    if (!cWindow->isVisible() || cWindow->alphaValue() != 1.0f) cWindow->fadeIn();

    const EntryRecord& entry = objects_[std::size_t(row)];
    const QString path = platform::displayText(entry.name);
    std::string whyNot;
    std::unique_ptr<CLMovie> opened = CLMovie::initWithURL(entry.name, true, &whyNot);
    if (!opened) {
        platform::log("cannot view " + jsonString(entry.name) + ": " + whyNot);
        dropMovieView();
        viewerWindow->hide();
        return;
    }
    mov_ = std::move(opened);
    view_ = makeMovieView_();
    volumeSlide(volumeSlider);
    view_->setEditable(false);
    view_->showController(false, true);

    toolbox::Rect bounds;
    toolbox::GetMovieNaturalBoundsRect(mov_->QTMovie(), &bounds);
    QSize picture(int(bounds.right) - int(bounds.left), int(bounds.bottom) - int(bounds.top));
    if (picture.width() <= 0 || picture.height() <= 0) picture = kNoPictureSize;
    // A picture larger than the screen is shown as large as fits.
    if (const QScreen* screen =
            viewerWindow->screen() ? viewerWindow->screen() : QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 0.9;
        if (picture.width() > room.width() || picture.height() > room.height())
            picture = picture.scaled(room, Qt::KeepAspectRatio);
    }
    view_->widget()->resize(picture);
    viewerWindow->resize(picture);
    viewerWindow->setContentView(view_.get());
    originalRect_ = viewerWindow->frameGeometry();
    viewerWindow->setAspectRatio(QSizeF(picture));
    view_->setMovie(mov_);
    viewerWindow->setWindowTitle(QFileInfo(path).fileName());
    if (const QScreen* screen = viewerWindow->screen()) {
        QRect frame = viewerWindow->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        viewerWindow->move(frame.topLeft());
    }
    if (!(viewerWindow->isVisible() && viewerWindow->alphaValue() == 0.0f)) viewerWindow->fadeIn();
    view_->setVolume(floatValue(volumeSlider));
    view_->start();
    buttonState_ = true;
    cNameField->setText(fileTitle(entry.name));
    cTimeField->setText(QString::fromStdString(entry.length));
    cLength_ = lengthField->text();
    setupMoviePlayingCompleteCallback(mov_->QTMovie(), gMoviePlayingCompleteCallBack);

    if (wasFullscreen) fullScreen();
}

void AppController::setupMoviePlayingCompleteCallback(toolbox::Movie movie,
                                                      toolbox::QTCallBackUPP callbackUPP) {
    toolbox::QTCallBack callBack =
        toolbox::NewCallBack(toolbox::GetMovieTimeBase(movie), toolbox::callBackAtExtremes);
    {
        std::lock_guard lock(callBackMutex_);
        gQtCallBack = callBack;
    }
    if (!callBack) return;
    const toolbox::OSErr err = toolbox::CallMeWhen(callBack, callbackUPP, 0, toolbox::triggerAtStop, 0, 0);
    if (err != toolbox::noErr) platform::log("error " + std::to_string(err) + " while setting up callback");
}

toolbox::QTCallBack AppController::currentCallBack() {
    std::lock_guard lock(callBackMutex_);
    return gQtCallBack;
}

// ---- End of a movie

void AppController::movieFinished() {
    // On the toolbox's thread: let go of the callback and hand over without waiting.
    const toolbox::QTCallBack finished = currentCallBack();
    toolbox::DisposeCallBack(finished);
    QMetaObject::invokeMethod(
        this,
        [this, finished] {
            // A movie replaced in the meantime does not move the playlist on.
            if (finished && finished == currentCallBack()) tugi();
        },
        Qt::QueuedConnection);
}

void AppController::tugi() {
    const bool wasFullscreen = inFullscreen_;
    if (wasFullscreen) fullScreen();
    viewerWindow->hide();
    // An entry whose file can no longer be opened is passed over, not stopped at.
    int row = selectedRow();
    do {
        if (row + 1 >= int(objects_.size())) return;
        selectRow(++row);
        readSettings();
        viewItem();
    } while (!view_);
    if (wasFullscreen)
        fullScreen();
    else if (view_)
        view_->start();
}

// ---- Transport

void AppController::fast(const std::string& command) {
    if (command == "forward" || command == "rewind") {
        if (!view_) return;
        view_->setMuted(true);
        view_->setRate(command == "forward" ? 3.0f : -3.0f);
    } else if (command == "play") {
        if (!view_ || view_->rate() == 1.0f) return;
        view_->setMuted(false);
        view_->setRate(1.0f);
    } else if (command == "next") {
        const int next = selectedRow() + 1;
        if (next >= int(objects_.size())) return;
        viewerWindow->hide();
        selectRow(next);
        readSettings();
        viewItem();
    } else if (command == "previous") {
        const int row = selectedRow();
        if (row <= 0) return;
        viewerWindow->hide();
        selectRow(row - 1);
        readSettings();
        viewItem();
    }
}

void AppController::mainButtonClicked(ImageButton* sender) {
    if (buttonState_) {
        sender->setImage(play);
        sender->setAlternateImage(bPlay);
        buttonState_ = false;
        if (view_) view_->stop();
        return;
    }
    if (!viewerWindow->isVisible() && !objects_.empty()) viewItem();
    sender->setImage(pause);
    sender->setAlternateImage(bPause);
    buttonState_ = true;
    if (view_) view_->start();
}

void AppController::setTimeSlider(float fraction) {
    if (timeSlider->isSliderDown()) return;  // the user is moving it
    settingTimeSlider_ = true;
    setFloatValue(timeSlider, fraction);
    settingTimeSlider_ = false;
}

void AppController::checkTime() {
    if (view_ && view_->isPlaying()) {
        mainButton->setImage(pause);
        mainButton->setAlternateImage(bPause);
        const QString now =
            view_->movie() ? QString::fromStdString(view_->movie()->currentTime()) : QString();
        const int elapsed = CLHMSFormat::seconds(now.toStdString());
        const int length = CLHMSFormat::seconds(cLength_.toStdString());
        // A length of 0 leaves the slider at the start.
        setTimeSlider(length > 0 ? float(elapsed) / float(length) : 0.0f);
        cTimeField->setText(now + "/" + cLength_);
        buttonState_ = true;
    } else {
        mainButton->setImage(play);
        mainButton->setAlternateImage(bPlay);
        buttonState_ = false;
    }
}

void AppController::timeSlide() {
    if (settingTimeSlider_ || !view_ || !view_->movie()) return;
    const int length = CLHMSFormat::seconds(lengthField->text().toStdString());
    const float value = floatValue(timeSlider);
    const long target = long(value * float(length));
    view_->movie()->setMovieAtTime(target);
    cTimeField->setText(QString::fromStdString(view_->movie()->currentTime()) + "/" + lengthField->text());
}

void AppController::showList() {
    if (mainFades_->alphaValue() == 0.0f)
        fadeIn();
    else
        fadeOut();
}

void AppController::showController() {
    if (cWindow->alphaValue() == 0.0f || !cWindow->isVisible())
        cWindow->fadeIn();
    else
        cWindow->fadeOut();
}

void AppController::volumeSlide(QSlider* sender) {
    if (view_) view_->setVolume(floatValue(sender));
    volumePreference_->changed(floatValue(volumeSlider), volumeSlider->isSliderDown());
}

void AppController::fadeIn() { mainFades_->fadeIn(); }

void AppController::fadeOut() { mainFades_->fadeOut(); }

// ---- Full screen

void AppController::fullScreen() {
    if (!inFullscreen_) {
        if (!viewerWindow->isVisible() || !view_) return;  // no picture to show
        inFullscreen_ = true;
        const QScreen* screen =
            _fullscreenWindow->screen() ? _fullscreenWindow->screen() : QGuiApplication::primaryScreen();
        const QSize screenSize = screen ? screen->geometry().size() : _fullscreenWindow->size();
        const QRectF picture = pictureRect(QSizeF(screenSize), QSizeF(view_->widget()->size()));
        _fullscreenWindow->ue();
        viewerWindow->setContentView(nullptr);
        QWidget* widget = view_->widget();
        widget->setParent(_fullscreenWindow.get());
        widget->setGeometry(picture.toRect());
        widget->show();
        _fullscreenWindow->setGeometry(screen ? screen->geometry() : _fullscreenWindow->geometry());
        _fullscreenWindow->showFullScreen();  // so a window manager puts it over its panels too
        _fullscreenWindow->raise();
        _fullscreenWindow->activateWindow();
        platform::setWindowLevel(cWindow, platform::windowLevel(_fullscreenWindow.get()) + 1);
        view_->start();
        cWindow->mouseMoved();
        return;
    }
    inFullscreen_ = false;
    _fullscreenWindow->hide();
    if (view_) viewerWindow->setContentView(view_.get());
    viewerWindow->activateWindow();  // the keyboard follows the picture back
    platform::setWindowLevel(cWindow, platform::CGWindowLevelForKey(platform::kNormalWindowKey));
    cWindow->fadeIn();
    if (view_) view_->start();
}

float AppController::floatValue(const QSlider* slider) {
    const int span = slider->maximum() - slider->minimum();
    return span > 0 ? float(slider->value() - slider->minimum()) / float(span) : 0.0f;
}

void AppController::setFloatValue(QSlider* slider, float value) {
    const int span = slider->maximum() - slider->minimum();
    const float clamped = std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
    slider->setValue(slider->minimum() + int(std::lround(clamped * float(span))));
}

}  // namespace reel
