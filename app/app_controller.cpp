#include "app/app_controller.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QUrl>
#include <cmath>

#include "app/playlist_intake.h"
#include "app/playlist_model.h"
#include "app/playlist_table.h"
#include "platform/preferences.h"

namespace reel {

namespace {

// What the open dialog offers, lower case, in its order.
const QStringList kOpenPanelTypes = {"avi", "mpg", "mpeg", "mov", "mpv", "mp4", "vob", "dv"};
// The drag check lets one more through than the playlist accepts.
const QStringList kDropExtensions = {"MPG", "AVI", "MPEG", "MOV", "MPV", "MP4", "VOB", "DV", "BIN"};

// The local files a drag carries, in its order; other URLs are not files.
QStringList draggedFiles(const QMimeData* dragged) {
    QStringList files;
    if (!dragged || !dragged->hasUrls()) return files;
    for (const QUrl& url : dragged->urls()) {
        if (url.isLocalFile()) files << url.toLocalFile();
    }
    return files;
}

QString fileTitle(const std::string& path) { return QFileInfo(QString::fromStdString(path)).completeBaseName(); }

}  // namespace

AppController::AppController(QObject* parent) : QObject(parent) {}

AppController::~AppController() = default;

void AppController::awakeFromNib() {
    buttonState_ = false;
    objects_.clear();
    model_ = new PlaylistModel(*this, this);
    tableView->setModel(model_);
    intake_ = std::make_unique<PlaylistIntake>(
        fileOpener(), [this](EntryRecord entry) { appendEntry(std::move(entry)); });
    intake_->setProgressParent(mainWindow);

    connect(tableView, &PlaylistTable::clickedAnywhere, this, &AppController::tableClicked);
    // Keyboard moves through the table refresh the panel as clicks do.
    connect(tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &AppController::tableClicked);
    tableView->setAcceptDrops(true);
    tableView->viewport()->setAcceptDrops(true);
    tableView->setDragDropMode(QAbstractItemView::DropOnly);
    tableView->setDropIndicatorShown(false);

    viewButton->setEnabled(false);
    removeButton->setEnabled(false);
    inFullscreen_ = false;
    readSettings();  // the panel says "No Video" from the start
}

void AppController::applicationDidFinishLaunching() {
    const auto domain = platform::persistentDomainForName(platform::kPreferenceDomain);
    if (!domain) return;
    const auto level = domain->constFind(QStringLiteral("VolumeLevel"));
    if (level == domain->constEnd()) return;
    setFloatValue(volumeSlider, level->toFloat());
}

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
        openPanelDidEnd(panel->selectedFiles(), result == QDialog::Accepted ? 1 : 0);
    });
    panel->open();
}

void AppController::openPanelDidEnd(const QStringList& filenames, int returnCode) {
    if (returnCode != 1) return;
    intake_->add(filenames);
}

void AppController::addFiles(const QStringList& paths) {
    QStringList absolute;
    for (const QString& path : paths) absolute << QFileInfo(path).absoluteFilePath();
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
    return QString::fromStdString(objects_[std::size_t(row)].name);
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
        for (QLabel* field : {sizeField, lengthField, standardField, videoFormatField, audioFormatField, fpsField})
            field->setText(QString());
        removeButton->setEnabled(false);
        viewButton->setEnabled(false);
    }
}

DragOperation AppController::validateDrop(const QMimeData* dragged) const {
    const QStringList files = draggedFiles(dragged);
    if (files.isEmpty()) return DragOperation::None;
    // Only the first file is looked at: a drag is taken or refused whole.
    const QString ext = QString::fromStdString(upperExtension(files.first().toStdString()));
    return kDropExtensions.contains(ext) ? DragOperation::Link : DragOperation::None;
}

bool AppController::acceptDrop(const QMimeData* dragged) {
    const QStringList files = draggedFiles(dragged);
    if (files.isEmpty()) return false;
    intake_->add(files);
    return true;
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
