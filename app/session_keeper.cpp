#include "app/session_keeper.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "app/app_controller.h"
#include "app/playlist_intake.h"
#include "app/playlist_table.h"
#include "platform/log.h"
#include "platform/state_file.h"

namespace reel {

namespace {

constexpr int kVersion = 1;
// While a movie plays its position is kept this often.
constexpr int kPositionMilliseconds = 5000;

}  // namespace

QByteArray encodeSession(const SessionSnapshot& snapshot) {
    QJsonArray entries;
    for (const PlaylistLine& line : snapshot.entries) {
        QJsonObject entry{{"name", line.location}};
        if (!line.title.isEmpty()) entry.insert("title", line.title);
        if (line.seconds >= 0) entry.insert("seconds", line.seconds);
        entries.append(entry);
    }
    QJsonObject root{{"version", kVersion},
                     {"clean", snapshot.clean},
                     {"selected", snapshot.selected},
                     {"position", snapshot.position},
                     {"entries", entries}};
    if (!snapshot.shown.isEmpty()) root.insert("shown", snapshot.shown);
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<SessionSnapshot> decodeSession(const QByteArray& bytes, QString* whyNot) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const auto fail = [&](const QString& why) -> std::optional<SessionSnapshot> {
        if (whyNot) *whyNot = why;
        return std::nullopt;
    };
    if (error.error != QJsonParseError::NoError) return fail(error.errorString());
    const QJsonObject root = document.object();
    if (root.value("version").toInt() != kVersion)
        return fail(QStringLiteral("version %1, not %2").arg(root.value("version").toInt()).arg(kVersion));
    SessionSnapshot snapshot;
    snapshot.clean = root.value("clean").toBool();
    snapshot.selected = root.value("selected").toInt(-1);
    snapshot.position = root.value("position").toDouble(-1);
    snapshot.shown = root.value("shown").toString();
    for (const QJsonValue& value : root.value("entries").toArray()) {
        const QJsonObject entry = value.toObject();
        PlaylistLine line{entry.value("name").toString(), entry.value("title").toString(),
                          entry.value("seconds").toDouble(-1)};
        if (!line.location.isEmpty()) snapshot.entries.push_back(std::move(line));
    }
    if (snapshot.selected < -1 || snapshot.selected >= int(snapshot.entries.size())) snapshot.selected = -1;
    return snapshot;
}

QString SessionKeeper::defaultFolder() { return platform::StateFile::defaultFolder(); }

SessionKeeper::SessionKeeper(AppController& controller, const QString& folder, QObject* parent)
    : QObject(parent),
      controller_(controller),
      file_(std::make_unique<platform::StateFile>(folder + '/' + kFileName)) {
    if (const auto bytes = platform::StateFile::read(file_->path())) {
        QString whyNot;
        previous_ = decodeSession(*bytes, &whyNot);
        if (!previous_) {
            // Kept for whoever wants to look; a fresh file replaces it.
            const QString aside =
                file_->path() + ".broken-" + QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss");
            QFile::rename(file_->path(), aside);
            platform::log("state file " + file_->path().toStdString() + " unreadable (" +
                          whyNot.toStdString() + "); set aside as " + aside.toStdString());
        }
    }
    soon_.setSingleShot(true);
    soon_.setInterval(0);
    connect(&soon_, &QTimer::timeout, this, [this] { recordNow(); });
    whilePlaying_.setInterval(kPositionMilliseconds);
    connect(&whilePlaying_, &QTimer::timeout, this, [this] {
        if (controller_.view() && controller_.view()->isPlaying()) changed();
    });
}

SessionKeeper::~SessionKeeper() = default;

void SessionKeeper::start(bool restoreAlways, const AskRestore& ask) {
    const bool offer = previous_ && !previous_->entries.empty() && (restoreAlways || !previous_->clean);
    if (!offer || !(restoreAlways || (ask && ask(int(previous_->entries.size()))))) return beginRecording();

    // Recorded only once it is all back: a crash meanwhile leaves the old file as it was.
    PlaylistIntake& intake = controller_.intake();
    auto done = std::make_shared<QMetaObject::Connection>();
    *done = connect(&intake, &PlaylistIntake::finished, this, [this, done] {
        disconnect(*done);
        // The list comes back after what was opened while the question waited.
        const int before = int(controller_.objects().size()) - int(previous_->entries.size());
        const int selected = previous_->selected < 0 ? -1 : before + previous_->selected;
        if (selected >= 0 && selected < int(controller_.objects().size())) {
            controller_.selectRow(selected);
            controller_.showSelectedEntryInfo();
        }
        // The movie that was being viewed goes on from where it was when it is viewed again.
        QString shown = previous_->shown;
        if (shown.isEmpty() && previous_->selected >= 0 &&
            previous_->selected < int(previous_->entries.size()))
            shown = previous_->entries[std::size_t(previous_->selected)].location;
        if (!shown.isEmpty() && previous_->position > 0)
            controller_.startNextViewOf(shown, previous_->position);
        beginRecording();
        emit restored();
    });
    intake.addLines(previous_->entries);
}

void SessionKeeper::beginRecording() {
    if (recording_) return;
    recording_ = true;
    QAbstractItemModel* model = controller_.outlets().tableView->model();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, this, &SessionKeeper::changed);
    connect(model, &QAbstractItemModel::rowsMoved, this, &SessionKeeper::changed);
    connect(model, &QAbstractItemModel::modelReset, this, &SessionKeeper::changed);
    connect(model, &QAbstractItemModel::layoutChanged, this, &SessionKeeper::changed);
    // Marks beside the entries are not the playlist: only a changed entry is.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) changed();
            });
    connect(controller_.outlets().tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SessionKeeper::changed);
    whilePlaying_.start();
    recordNow();
}

void SessionKeeper::changed() {
    // Many changes in one go (a slice of the intake) make one version.
    if (!soon_.isActive()) soon_.start();
}

namespace {

// What the interface's thread copies of the playlist; the rest is done on the writing thread.
struct RawSnapshot {
    struct Entry {
        std::string name, title, seconds;
    };
    std::vector<Entry> entries;
    int selected = -1;
    std::string shown;
    double position = -1;

    SessionSnapshot cooked() const {
        SessionSnapshot out;
        out.entries.reserve(entries.size());
        for (const Entry& entry : entries) {
            bool known = false;
            const double seconds = QString::fromStdString(entry.seconds).toDouble(&known);
            out.entries.push_back({QString::fromStdString(entry.name), QString::fromStdString(entry.title),
                                   known ? seconds : -1});
        }
        out.selected = selected;
        out.shown = QString::fromStdString(shown);
        out.position = position;
        return out;
    }
};

RawSnapshot rawSnapshot(const AppController& controller) {
    RawSnapshot now;
    const auto& objects = controller.objects();
    now.entries.reserve(objects.size());
    for (const EntryRecord& entry : objects) now.entries.push_back({entry.name, entry.title, entry.seconds});
    now.selected = controller.selectedRow();
    if (controller.view() && controller.view()->movie()) {
        now.shown = controller.view()->movie()->source;
        now.position = controller.shownSeconds();
    }
    return now;
}

}  // namespace

SessionSnapshot SessionKeeper::snapshot() const { return rawSnapshot(controller_).cooked(); }

quint64 SessionKeeper::recordNow() {
    soon_.stop();
    auto now = std::make_shared<RawSnapshot>(rawSnapshot(controller_));
    return file_->save([now] { return encodeSession(now->cooked()); });
}

void SessionKeeper::endCleanly() {
    // Quit before the old playlist was all back: the old file stays as it was, and is offered again.
    if (!recording_) return;
    soon_.stop();
    whilePlaying_.stop();
    SessionSnapshot last = snapshot();
    last.clean = true;
    file_->saveNow(encodeSession(last));
}

}  // namespace reel
