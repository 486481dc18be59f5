#include "app/app_controller.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/json.h"
#include "app/playlist_intake.h"
#include "app/playlist_model.h"
#include "app/playlist_table.h"
#include "app/track_menus.h"
#include "media/cl_movie.h"
#include "media/hms_format.h"
#include "media/playlist_file.h"
#include "media/subtitle_finder.h"
#include "media/track_choice.h"
#include "platform/file_names.h"
#include "platform/images.h"
#include "platform/log.h"
#include "platform/mpv_movie_view.h"
#include "platform/preference_file.h"
#include "platform/preferences.h"
#include "platform/window_levels.h"
#include "transport/controller_window.h"
#include "transport/fade_window.h"
#include "transport/fader.h"
#include "transport/volume_preference.h"
#include "ui/full_screen_window.h"
#include "ui/image_button.h"
#include "ui/spoken_label.h"

namespace reel {

namespace {

// A time in the movie's own units, in seconds; a movie without a time scale gives 0.
double inSeconds(toolbox::Movie movie, toolbox::TimeValue value) {
    return double(value) / double(std::max(1, toolbox::GetMovieTimeScale(movie)));
}

// A picture with no size (sound only) still gets a window to show its name on.
constexpr QSize kNoPictureSize{480, 270};

// What the open dialog offers, lower case, in its order.
const QStringList kOpenPanelTypes = {"avi", "mpg", "mpeg", "mov", "mpv", "mp4", "vob", "dv"};

QString fileTitle(const std::string& path) {
    return QFileInfo(platform::displayText(path)).completeBaseName();
}

QString playlistFilter() {
    return QCoreApplication::translate("AppController", "Playlists (*.m3u8 *.m3u *.xspf *.pls *.M3U8 *.M3U)");
}

}  // namespace

AppController::AppController(const Outlets& outlets, PlayerMessages& messages, MovieViewFactory makeMovieView,
                             QObject* parent)
    : QObject(parent), ui_(outlets), messages_(messages), makeMovieView_(std::move(makeMovieView)) {
    if (!makeMovieView_) makeMovieView_ = [] { return std::make_unique<platform::MpvMovieView>(); };
}

AppController::~AppController() {
    stopShownMovie();
    // The view's widget lives in a window that outlives the controller.
    if (view_ && ui_.viewerWindow->contentView() == view_.get()) ui_.viewerWindow->setContentView(nullptr);
}

void AppController::awakeFromNib() {
    Fader::Behaviour listFades;
    listFades.fadedOut = [this] { bringListBackIfAlone(); };
    mainFades_ = std::make_unique<Fader>(ui_.mainWindow, std::move(listFades));
    ui_.viewerWindow->installEventFilter(this);
    buttonState_ = false;
    icons_ = {platform::imageNamed("whitepause.png"), platform::imageNamed("bluepause.png"),
              platform::imageNamed("whiteplay.png"), platform::imageNamed("blueplay.png")};
    connect(&messages_, &PlayerMessages::fast, this, &AppController::fast);
    // The toolbox tells the end on its own thread; it is dealt with here, in turn.
    connect(&messages_, &PlayerMessages::movieFinished, this, &AppController::movieFinished,
            Qt::QueuedConnection);
    objects_.clear();
    model_ = new PlaylistModel(objects_, this);
    ui_.tableView->setModel(model_);
    intake_ = std::make_unique<PlaylistIntake>(fileOpener(),
                                               [this](EntryRecord entry) { appendEntry(std::move(entry)); });
    intake_->setProgressParent(ui_.mainWindow);
    connect(model_, &PlaylistModel::filesDropped, intake_.get(),
            [this](const std::vector<std::string>& files) { intake_->add(files); });
    connect(model_, &PlaylistModel::rowsDropped, this, &AppController::moveEntries);

    connect(ui_.tableView, &PlaylistTable::clickedAnywhere, this, &AppController::tableClicked);
    // Keyboard moves through the table refresh the panel as clicks do.
    connect(ui_.tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AppController::tableClicked);
    ui_.tableView->setAcceptDrops(true);
    ui_.tableView->viewport()->setAcceptDrops(true);
    // Rows dragged within the table move; files dropped on it are added.
    ui_.tableView->setDragEnabled(true);
    ui_.tableView->setDragDropMode(QAbstractItemView::DragDrop);
    ui_.tableView->setDefaultDropAction(Qt::MoveAction);
    ui_.tableView->setDragDropOverwriteMode(false);
    ui_.tableView->setDropIndicatorShown(true);

    ui_.viewButton->setEnabled(false);
    ui_.removeButton->setEnabled(false);
    inFullscreen_ = false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    fullScreenWindow_ =
        std::make_unique<FullScreenWindow>(screen ? screen->geometry() : QRect(0, 0, 1280, 1024));
    secondTimer_ = new QTimer(this);
    connect(secondTimer_, &QTimer::timeout, this, &AppController::checkTime);
    secondTimer_->start(1000);

    setPlayImages(false);
    connect(ui_.viewerWindow, &FadeWindow::fadedOut, this, [this] {
        // The viewer's fade-out gives up the hold on the movie it shows, once.
        if (view_ && mov_ && view_->movie().get() == mov_->record()) mov_.reset();
    });
    tracks_ = std::make_unique<TrackMenus>(ui_.audioMenu, ui_.subtitleMenu, [this] { return view_.get(); });
    showSelectedEntryInfo();  // the panel says "No Video" from the start

    // The volume is kept in the settings file, which is written off the main thread.
    volumePreference_ = std::make_unique<VolumePreference>(
        VolumePreference::fileStore(std::make_shared<platform::PreferenceFile>(platform::settingsPath())));
    connect(volumePreference_.get(), &VolumePreference::restored, this,
            [this](float volume) { setFloatValue(ui_.volumeSlider, volume); });
    connect(ui_.volumeSlider, &QSlider::sliderReleased, this,
            [this] { volumePreference_->dragEnded(floatValue(ui_.volumeSlider)); });
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { volumePreference_->quit(); });
}

void AppController::applicationDidFinishLaunching() {
    volumePreference_->restore(floatValue(ui_.volumeSlider));
}

// ---- Playlist

void AppController::addItem() {
    auto* panel = new QFileDialog(ui_.mainWindow, tr("Add Movies"));
    panel->setFileMode(QFileDialog::ExistingFiles);
    QStringList patterns;
    for (const QString& type : kOpenPanelTypes) patterns << "*." + type << "*." + type.toUpper();
    panel->setNameFilters({tr("Movies (%1)").arg(patterns.join(' ')), playlistFilter(), tr("All files (*)")});
    panel->setWindowModality(Qt::WindowModal);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
        // As URLs, which keep names that are not UTF-8 (where the dialog lists them) as bytes.
        std::vector<std::string> chosen;
        for (const QUrl& url : panel->selectedUrls()) {
            if (auto path = platform::localPath(url)) chosen.push_back(std::move(*path));
        }
        openPanelDidEnd(chosen, result == QDialog::Accepted);
    });
    panel->open();
}

void AppController::openPanelDidEnd(const QStringList& filenames, bool accepted) {
    if (accepted) intake_->add(filenames);
}

void AppController::openPanelDidEnd(const std::vector<std::string>& paths, bool accepted) {
    if (accepted) intake_->add(paths);
}

void AppController::addFiles(const QStringList& paths) {
    std::vector<std::string> bytes;
    for (const QString& path : paths) bytes.push_back(path.toStdString());
    addFiles(bytes);
}

void AppController::addFiles(const std::vector<std::string>& paths) {
    std::vector<std::string> absolute;
    for (const std::string& path : paths) absolute.push_back(platform::absolutePath(path));
    intake_->add(absolute);
}

void AppController::appendEntry(EntryRecord entry) {
    model_->appendRow([&] { objects_.push_back(std::move(entry)); });
    showSelectedEntryInfo();
}

void AppController::removeItem() {
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return;
    // Runs of neighbouring rows go in one notice each, the lowest run first so
    // the rows above it keep their numbers.
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1) --begin;
        const int first = rows[begin], last = rows[end - 1];
        model_->removeRange(first, last,
                            [&] { objects_.erase(objects_.begin() + first, objects_.begin() + last + 1); });
        end = begin;
    }
    showSelectedEntryInfo();
}

// ---- Playlist files

void AppController::openPlaylist() {
    auto* panel = new QFileDialog(ui_.mainWindow, tr("Open Playlist"));
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setNameFilters({playlistFilter(), tr("All files (*)")});
    panel->setWindowModality(Qt::WindowModal);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::fileSelected, this, &AppController::openPlaylistFile);
    panel->open();
}

void AppController::openPlaylistFile(const QString& path) {
    intake_->cancel();
    model_->replaceAll([&] { objects_.clear(); });
    showSelectedEntryInfo();
    intake_->add(QStringList{QFileInfo(path).absoluteFilePath()});
}

void AppController::savePlaylistAs() {
    auto* panel = new QFileDialog(ui_.mainWindow, tr("Save Playlist As"));
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setNameFilters({tr("M3U8 playlist (*.m3u8)"), tr("M3U playlist (*.m3u)"),
                           tr("XSPF playlist (*.xspf)"), tr("PLS playlist (*.pls)")});
    panel->setDefaultSuffix(QStringLiteral("m3u8"));
    panel->setWindowModality(Qt::WindowModal);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::fileSelected, this, [this](const QString& path) { savePlaylistFile(path); });
    panel->open();
}

bool AppController::savePlaylistFile(const QString& path) {
    std::vector<PlaylistLine> lines;
    lines.reserve(objects_.size());
    for (const EntryRecord& entry : objects_) {
        PlaylistLine line;
        line.location = QString::fromStdString(entry.name);
        line.title = entry.title.empty() ? fileTitle(entry.name) : QString::fromStdString(entry.title);
        bool known = false;
        const double seconds = QString::fromStdString(entry.seconds).toDouble(&known);
        line.seconds = known ? seconds : -1;
        lines.push_back(std::move(line));
    }
    QString whyNot;
    if (writePlaylistFile(path, lines, &whyNot)) return true;
    platform::log("cannot save the playlist as " + path.toStdString() + ": " + whyNot.toStdString());
    QMessageBox::warning(ui_.mainWindow, tr("Save Playlist As"),
                         tr("The playlist could not be saved as %1: %2").arg(path, whyNot));
    return false;
}

bool AppController::reviveEntry(int row) {
    EntryRecord& entry = objects_[std::size_t(row)];
    const QString path = platform::displayText(entry.name);
    if (path.contains(QStringLiteral("://")) || !QFileInfo::exists(path)) return false;
    EntryOutcome outcome = buildEntry(entry.name, intake_->opener());
    if (!outcome.entry) return false;
    outcome.entry->title = entry.title;
    model_->replaceRow(row, [&] { entry = std::move(*outcome.entry); });
    return true;
}

int AppController::nextViewableRow(int after) const {
    for (int row = after + 1; row < int(objects_.size()); ++row) {
        if (objects_[std::size_t(row)].problem.empty()) return row;
    }
    return -1;
}

// ---- Reordering

std::vector<int> AppController::selectedRows() const {
    std::vector<int> rows;
    if (!ui_.tableView->selectionModel()) return rows;
    for (const QModelIndex& index : ui_.tableView->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void AppController::moveEntries(std::vector<int> rows, int destination) {
    const int count = int(objects_.size());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(), [count](int r) { return r < 0 || r >= count; }),
               rows.end());
    if (rows.empty()) return;
    destination = std::clamp(destination, 0, count);
    std::vector<bool> moving(std::size_t(count), false);
    for (int r : rows) moving[std::size_t(r)] = true;
    std::vector<int> order;  // order[new row] = old row
    order.reserve(std::size_t(count));
    for (int r = 0; r <= count; ++r) {
        if (r == destination) order.insert(order.end(), rows.begin(), rows.end());
        if (r < count && !moving[std::size_t(r)]) order.push_back(r);
    }
    bool unchanged = true;
    for (int r = 0; r < count; ++r) unchanged = unchanged && order[std::size_t(r)] == r;
    if (unchanged) return;
    model_->reorder(order, [&] {
        std::vector<EntryRecord> reordered;
        reordered.reserve(objects_.size());
        for (int old : order) reordered.push_back(std::move(objects_[std::size_t(old)]));
        objects_ = std::move(reordered);
    });
    showSelectedEntryInfo();
}

void AppController::moveSelectionBy(int step) {
    const std::vector<int> rows = selectedRows();
    if (rows.empty() || step == 0) return;
    if (step < 0 && rows.front() == 0) return;  // already at the top
    if (step > 0 && rows.back() == int(objects_.size()) - 1) return;
    // Up: before the row above the first; down: after the row below the last.
    moveEntries(rows, step < 0 ? rows.front() - 1 : rows.back() + 2);
}

// ---- Table and information panel

int AppController::selectedRow() const {
    if (!ui_.tableView->selectionModel()) return -1;
    // With several selected, the topmost is the one viewed and shown.
    int row = -1;
    for (const QModelIndex& index : ui_.tableView->selectionModel()->selectedRows())
        row = row < 0 ? index.row() : std::min(row, index.row());
    return row;
}

void AppController::selectRow(int row) {
    QItemSelectionModel* selection = ui_.tableView->selectionModel();
    selection->select(model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selection->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
}

void AppController::tableClicked() { showSelectedEntryInfo(); }

void AppController::showSelectedEntryInfo() {
    const int row = selectedRow();
    QLabel* const fields[] = {ui_.sizeField,        ui_.lengthField,      ui_.standardField,
                              ui_.videoFormatField, ui_.audioFormatField, ui_.fpsField};
    if (row >= 0 && row < int(objects_.size())) {
        const EntryRecord& entry = objects_[std::size_t(row)];
        ui_.nameField->setText(fileTitle(entry.name));
        const std::string* values[] = {&entry.size, &entry.length,    &entry.standard,
                                       &entry.type, &entry.audioType, &entry.rate};
        for (std::size_t i = 0; i < std::size(fields); ++i)
            fields[i]->setText(QString::fromStdString(*values[i]));
        // A greyed entry says why it cannot be viewed where its picture would be described.
        if (!entry.problem.empty()) ui_.videoFormatField->setText(QString::fromStdString(entry.problem));
        // The same finder gives the player its subtitle files: what is listed is what plays.
        std::vector<TrackInfo> tracks = entry.tracks;
        for (const SubtitleFile& file : findSubtitles(entry.name)) tracks.push_back(externalTrack(file));
        if (ui_.tracksField) ui_.tracksField->setText(QString::fromStdString(trackLines(tracks)));
    } else {
        ui_.nameField->setText(QCoreApplication::translate("AppController", "No Video"));
        for (QLabel* field : fields) field->setText(QString());
        if (ui_.tracksField) ui_.tracksField->clear();
    }
    ui_.viewButton->setEnabled(row >= 0);
    ui_.removeButton->setEnabled(row >= 0);
    for (QLabel* field : fields) speakWithCaption(field);
    speakWithCaption(ui_.nameField);
    emit stateChanged();
}

// ---- Viewer

MovieView& AppController::movieView() {
    if (!view_) {
        view_ = makeMovieView_();
        view_->widget()->setAccessibleName(tr("Picture"));
        ui_.viewerWindow->setContentView(view_.get());
        tracks_->watch(view_->widget());
    }
    return *view_;
}

void AppController::stopShownMovie() {
    if (!view_ || !view_->movie()) return;
    // Its end must not reach the playlist any more, even if it is under way now.
    if (auto& clock = view_->movie()->clock) clock->retire();
    endCallBack_.reset();
    view_->stop();
}

void AppController::viewItem() {
    int row = selectedRow();
    if (row < 0 || row >= int(objects_.size())) return;  // nothing to view
    if (!objects_[std::size_t(row)].problem.empty() && !reviveEntry(row)) {
        // Greyed entries are passed over, to the next that can be viewed.
        const int next = nextViewableRow(row);
        if (next < 0) return;
        row = next;
        selectRow(row);
        showSelectedEntryInfo();
    }
    // The new movie goes where the picture is: leave full screen and come back to it.
    const bool wasFullscreen = inFullscreen_;
    if (wasFullscreen) fullScreen();

    if (ui_.viewerWindow->isVisible()) ui_.viewerWindow->fadeOut();
    leaveShownMovie();
    stopShownMovie();
    if (!ui_.cWindow->isVisible() || ui_.cWindow->alphaValue() != 1.0f) ui_.cWindow->fadeIn();

    const EntryRecord& entry = objects_[std::size_t(row)];
    std::string whyNot;
    std::unique_ptr<CLMovie> opened = CLMovie::initWithURL(entry.name, true, &whyNot);
    if (!opened) {
        platform::log("cannot view " + jsonString(entry.name) + ": " + whyNot);
        if (view_) view_->setMovie(nullptr);
        ui_.viewerWindow->hide();
        emit stateChanged();
        return;
    }
    mov_ = std::move(opened);
    const QString path = QString::fromStdString(entry.name);
    const double start = startPosition(path, mov_->record());
    if (start > 0) {
        const double scale = double(toolbox::GetMovieTimeScale(mov_->record()));
        toolbox::SetMovieTimeValue(mov_->record(), toolbox::TimeValue(std::llround(start * scale)));
    }
    MovieView& view = movieView();
    volumeSlide();

    toolbox::Rect bounds;
    toolbox::GetMovieNaturalBoundsRect(mov_->record(), &bounds);
    QSize picture(int(bounds.right) - int(bounds.left), int(bounds.bottom) - int(bounds.top));
    if (picture.width() <= 0 || picture.height() <= 0) picture = kNoPictureSize;
    // A picture larger than the screen is shown as large as fits.
    FadeWindow* viewer = ui_.viewerWindow;
    if (const QScreen* screen = viewer->screen() ? viewer->screen() : QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 0.9;
        if (picture.width() > room.width() || picture.height() > room.height())
            picture = picture.scaled(room, Qt::KeepAspectRatio);
    }
    view.widget()->resize(picture);
    viewer->resize(picture);
    viewer->setAspectRatio(QSizeF(picture));
    tracks_->prepare(view, entry.name);
    view.setMovie(mov_->sharedRecord());
    viewer->setWindowTitle(QFileInfo(platform::displayText(entry.name)).fileName());
    if (const QScreen* screen = viewer->screen()) {
        QRect frame = viewer->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        viewer->move(frame.topLeft());
    }
    if (!(viewer->isVisible() && viewer->alphaValue() == 0.0f)) viewer->fadeIn();
    view.start();
    buttonState_ = true;
    ui_.cNameField->setText(fileTitle(entry.name));
    ui_.cTimeField->setText(QString::fromStdString(entry.length));
    speakWithCaption(ui_.cNameField);
    speakWithCaption(ui_.cTimeField);
    cLength_ = ui_.lengthField->text();
    if (start > 0) showPosition();  // the read-out and slider say where it starts, not 0
    setupMoviePlayingCompleteCallback(mov_->record());
    emit viewed(path);

    if (wasFullscreen) fullScreen();
    emit stateChanged();
}

void AppController::startNextViewOf(const QString& path, double seconds) {
    startNextPath_ = path;
    startNextSeconds_ = seconds;
}

double AppController::startPosition(const QString& path, toolbox::Movie movie) {
    double start = 0;
    if (!startNextPath_.isEmpty() && startNextPath_ == path) {
        start = startNextSeconds_;
        startNextPath_.clear();
    } else if (startAt_) {
        start = startAt_(path);
    }
    // Started in its last second a movie would end at once and move the playlist on.
    const double length = inSeconds(movie, toolbox::GetMovieDuration(movie));
    return std::isfinite(start) && start > 0 && start < length - 1 ? start : 0;
}

void AppController::leaveShownMovie() {
    if (view_ && view_->movie()) emit leaving(shownPath(), shownSeconds(), shownLength());
}

void AppController::setupMoviePlayingCompleteCallback(toolbox::Movie movie) {
    endCallBack_ = toolbox::NewCallBack(toolbox::GetMovieTimeBase(movie), toolbox::callBackAtExtremes);
    if (!endCallBack_) return;
    const toolbox::OSErr err = toolbox::CallMeWhen(endCallBack_, &AppController::movieEnded, &messages_,
                                                   toolbox::triggerAtStop, 0, 0);
    if (err != toolbox::noErr) platform::log("error " + std::to_string(err) + " while setting up callback");
}

// ---- End of a movie

void AppController::movieEnded(toolbox::CallBack callBack, void* messages) {
    emit static_cast<PlayerMessages*>(messages)->movieFinished(std::move(callBack));
}

void AppController::movieFinished(const toolbox::CallBack& callBack) {
    toolbox::DisposeCallBack(callBack);
    // A movie replaced in the meantime does not move the playlist on.
    if (!callBack || callBack != endCallBack_) return;
    emit playedToEnd(shownPath());
    playNextEntry();
}

void AppController::playNextEntry() {
    const bool wasFullscreen = inFullscreen_;
    if (wasFullscreen) fullScreen();
    ui_.viewerWindow->hide();
    // An entry whose file can no longer be opened is passed over, not stopped at.
    int row = selectedRow();
    do {
        if (row + 1 >= int(objects_.size())) return;
        viewRow(++row);
        row = std::max(row, selectedRow());  // it may have passed greyed entries over
    } while (!view_ || !view_->movie());
    if (wasFullscreen)
        fullScreen();
    else
        view_->start();
}

void AppController::viewRow(int row) {
    selectRow(row);
    showSelectedEntryInfo();
    viewItem();
}

// ---- Transport

void AppController::fast(FastCommand command) {
    switch (command) {
        case FastCommand::Forward:
        case FastCommand::Rewind:
            if (!view_ || !view_->movie()) return;
            view_->setMuted(true);
            view_->setRate(command == FastCommand::Forward ? 3.0f : -3.0f);
            emit stateChanged();
            return;
        case FastCommand::Play:
            if (!view_ || !view_->movie() || view_->rate() == 1.0f) return;
            view_->setMuted(false);
            view_->setRate(1.0f);
            emit stateChanged();
            return;
        case FastCommand::Next: {
            const int next = selectedRow() + 1;
            if (next >= int(objects_.size())) return;
            ui_.viewerWindow->hide();
            viewRow(next);
            return;
        }
        case FastCommand::Previous: {
            const int row = selectedRow();
            if (row <= 0) return;
            ui_.viewerWindow->hide();
            viewRow(row - 1);
            return;
        }
    }
}

void AppController::setPlayImages(bool playing) {
    ui_.mainButton->setImage(playing ? icons_.pause : icons_.play);
    ui_.mainButton->setAlternateImage(playing ? icons_.pausePressed : icons_.playPressed);
    // Read out as what a press does now.
    ui_.mainButton->setAccessibleName(playing ? tr("Pause") : tr("Play"));
}

void AppController::mainButtonClicked() {
    if (buttonState_) {
        setPlayImages(false);
        buttonState_ = false;
        if (view_) {
            leaveShownMovie();
            view_->stop();
            showPosition();  // the read-out says where it stopped, not where it was a second ago
        }
        emit stateChanged();
        return;
    }
    if (!ui_.viewerWindow->isVisible() && !objects_.empty()) viewItem();
    setPlayImages(true);
    buttonState_ = true;
    if (view_) view_->start();
    emit stateChanged();
}

void AppController::setTimeSlider(float fraction) {
    if (ui_.timeSlider->isSliderDown()) return;  // the user is moving it
    settingTimeSlider_ = true;
    setFloatValue(ui_.timeSlider, fraction);
    settingTimeSlider_ = false;
}

void AppController::showPosition() {
    if (!view_ || !view_->movie()) return;
    const QString now = QString::fromStdString(CLMovie(view_->movie()).currentTime());
    const int elapsed = CLHMSFormat::seconds(now.toStdString());
    const int length = CLHMSFormat::seconds(cLength_.toStdString());
    // A length of 0 leaves the slider at the start.
    setTimeSlider(length > 0 ? float(elapsed) / float(length) : 0.0f);
    ui_.cTimeField->setText(now + "/" + cLength_);
    speakWithCaption(ui_.cTimeField);  // once a second at most: the read-out's pace
    ui_.timeSlider->setAccessibleDescription(tr("%1 of %2").arg(now, cLength_));
}

void AppController::checkTime() {
    const bool playing = view_ && view_->isPlaying();
    setPlayImages(playing);
    buttonState_ = playing;
    if (playing) showPosition();
    emit stateChanged();
}

void AppController::timeSlide() {
    if (settingTimeSlider_ || !view_ || !view_->movie()) return;
    const int length = CLHMSFormat::seconds(ui_.lengthField->text().toStdString());
    const float value = floatValue(ui_.timeSlider);
    CLMovie shown(view_->movie());
    shown.setMovieAtTime(long(value * float(length)));
    ui_.cTimeField->setText(QString::fromStdString(shown.currentTime()) + "/" + ui_.lengthField->text());
    speakWithCaption(ui_.cTimeField);
    emit positionJumped();
}

void AppController::showList() {
    if (mainFades_->alphaValue() == 0.0f)
        fadeIn();
    else if (ui_.viewerWindow->isVisible())
        fadeOut();  // the playlist hides only while a movie is on screen to come back from
}

// The playlist is what the player is found by: with no movie on screen it
// does not stay hidden.
void AppController::bringListBackIfAlone() {
    if (!ui_.viewerWindow->isVisible() && !ui_.mainWindow->isVisible()) fadeIn();
}

bool AppController::eventFilter(QObject* watched, QEvent* event) {
    // The viewer hides for a moment between two movies: look once that is over.
    if (watched == ui_.viewerWindow && event->type() == QEvent::Hide)
        QTimer::singleShot(0, this, &AppController::bringListBackIfAlone);
    return QObject::eventFilter(watched, event);
}

void AppController::showController() {
    if (ui_.cWindow->alphaValue() == 0.0f || !ui_.cWindow->isVisible())
        ui_.cWindow->fadeIn();
    else
        ui_.cWindow->fadeOut();
}

void AppController::volumeSlide() {
    if (view_) view_->setVolume(floatValue(ui_.volumeSlider));
    volumePreference_->changed(floatValue(ui_.volumeSlider), ui_.volumeSlider->isSliderDown());
}

void AppController::fadeIn() { mainFades_->fadeIn(); }

void AppController::fadeOut() { mainFades_->fadeOut(); }

// ---- Full screen

void AppController::fullScreen() {
    FullScreenWindow& full = *fullScreenWindow_;
    if (!inFullscreen_) {
        if (!ui_.viewerWindow->isVisible() || !view_ || !view_->movie()) return;  // no picture to show
        inFullscreen_ = true;
        const QScreen* screen = full.screen() ? full.screen() : QGuiApplication::primaryScreen();
        const QSize screenSize = screen ? screen->geometry().size() : full.size();
        // Letterboxed, the picture may leave its black bands to the subtitles: the
        // view then covers the screen and the player draws the bands.
        const QRectF picture = tracks_->preferences().subtitlesInBands
                                   ? QRectF(QPointF(0, 0), QSizeF(screenSize))
                                   : pictureRect(QSizeF(screenSize), QSizeF(view_->widget()->size()));
        full.raiseAboveOthers();
        ui_.viewerWindow->setContentView(nullptr);
        QWidget* widget = view_->widget();
        widget->setParent(&full);
        widget->setGeometry(picture.toRect());
        widget->show();
        full.setGeometry(screen ? screen->geometry() : full.geometry());
        full.showFullScreen();  // so a window manager puts it over its panels too
        full.raise();
        full.activateWindow();
        platform::setWindowLevel(ui_.cWindow, platform::windowLevel(&full) + 1);
        view_->start();
        ui_.cWindow->mouseMoved();
        return;
    }
    inFullscreen_ = false;
    full.hide();
    if (view_) ui_.viewerWindow->setContentView(view_.get());
    ui_.viewerWindow->activateWindow();  // the keyboard follows the picture back
    platform::setWindowLevel(ui_.cWindow, platform::CGWindowLevelForKey(platform::kNormalWindowKey));
    ui_.cWindow->fadeIn();
    if (view_) view_->start();
}

// ---- For the desktop's media controls and the screen saver

void AppController::moveTo(double seconds) {
    if (!view_ || !view_->movie() || !std::isfinite(seconds)) return;
    const toolbox::Movie movie = view_->movie().get();
    const double scale = double(toolbox::GetMovieTimeScale(movie));
    const double length = double(toolbox::GetMovieDuration(movie)) / scale;
    toolbox::SetMovieTimeValue(movie,
                               toolbox::TimeValue(std::llround(std::clamp(seconds, 0.0, length) * scale)));
    toolbox::MoviesTask(movie, 0);
    showPosition();
    emit positionJumped();
}

QString AppController::shownPath() const {
    return view_ && view_->movie() ? QString::fromStdString(view_->movie()->source) : QString();
}

double AppController::shownSeconds() const {
    if (!view_ || !view_->movie()) return 0;
    const toolbox::Movie movie = view_->movie().get();
    return inSeconds(movie, toolbox::GetMovieTime(movie, nullptr));
}

double AppController::shownLength() const {
    if (!view_ || !view_->movie()) return 0;
    const toolbox::Movie movie = view_->movie().get();
    return inSeconds(movie, toolbox::GetMovieDuration(movie));
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
