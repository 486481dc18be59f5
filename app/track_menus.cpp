#include "app/track_menus.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>
#include <algorithm>

#include "media/subtitle_finder.h"
#include "platform/log.h"

namespace reel {

namespace {

std::vector<TrackInfo> ofKind(const std::vector<TrackInfo>& tracks, TrackInfo::Kind kind) {
    std::vector<TrackInfo> found;
    std::copy_if(tracks.begin(), tracks.end(), std::back_inserter(found),
                 [kind](const TrackInfo& t) { return t.kind == kind; });
    return found;
}

QStringList droppedSubtitles(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && isSubtitleFile(url.toLocalFile().toStdString())) paths << url.toLocalFile();
    return paths;
}

}  // namespace

TrackMenus::TrackMenus(QMenu* audioMenu, QMenu* subtitleMenu, ViewGetter view, QObject* parent)
    : QObject(parent),
      audioMenu_(audioMenu),
      subtitleMenu_(subtitleMenu),
      context_(new QMenu),
      view_(std::move(view)),
      preferences_(TrackPreferences::load()) {
    if (audioMenu_) context_->addMenu(audioMenu_);
    if (subtitleMenu_) context_->addMenu(subtitleMenu_);
    connect(this, &QObject::destroyed, context_, [menu = context_] { delete menu; });
    refresh();
}

void TrackMenus::setPreferences(const TrackPreferences& preferences) {
    preferences_ = preferences;
    preferences_.save();
}

void TrackMenus::prepare(MovieView& view, const std::string& moviePath) {
    moviePath_ = moviePath;
    view.setSubtitleFiles(findSubtitles(moviePath));
    // The chooser runs on the player's thread: it keeps copies, not references.
    view.setTrackChooser(
        [languages = preferences_.languages, carried = carried_](const std::vector<TrackInfo>& tracks) {
            return chooseTracks(tracks, languages, carried);
        });
    view.setTracksChanged([this] { refresh(); });
}

void TrackMenus::refresh() {
    MovieView* view = view_();
    const std::vector<TrackInfo> tracks = view && view->movie() ? view->tracks() : std::vector<TrackInfo>{};
    fill(audioMenu_, TrackInfo::Kind::Audio, tracks);
    fill(subtitleMenu_, TrackInfo::Kind::Subtitle, tracks);
}

void TrackMenus::fill(QMenu* menu, TrackInfo::Kind kind, const std::vector<TrackInfo>& tracks) {
    if (!menu) return;
    menu->clear();
    for (QActionGroup* old : menu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly)) delete old;
    auto* group = new QActionGroup(menu);
    auto add = [&](const QString& text, long id, bool checked) {
        QAction* action = menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(checked);
        action->setActionGroup(group);
        connect(action, &QAction::triggered, this, [this, kind, id] { choose(kind, id); });
        return action;
    };
    const std::vector<TrackInfo> listed = ofKind(tracks, kind);
    bool any = false;
    for (const TrackInfo& track : listed) {
        add(QString::fromStdString(trackLabel(track)), track.id, track.selected);
        any = any || track.selected;
    }
    if (kind == TrackInfo::Kind::Subtitle && !listed.empty()) add(tr("Off"), 0, !any);
    if (listed.empty())
        menu->addAction(kind == TrackInfo::Kind::Audio ? tr("No sound") : tr("No subtitles"))
            ->setEnabled(false);
}

void TrackMenus::choose(TrackInfo::Kind kind, long id) {
    MovieView* view = view_();
    if (!view || !view->movie()) return;
    view->selectTrack(kind, id);
    std::string language;
    for (const TrackInfo& track : view->tracks())
        if (track.kind == kind && track.id == id) language = track.language;
    if (kind == TrackInfo::Kind::Audio) {
        if (!language.empty()) carried_.audioLanguage = language;
    } else if (id == 0 || !language.empty()) {
        // A track of no known language says nothing for the next movie.
        carried_.subtitleChosen = true;
        carried_.subtitleLanguage = language;
    }
}

void TrackMenus::cycle(TrackInfo::Kind kind) {
    MovieView* view = view_();
    if (!view || !view->movie()) return;
    const std::vector<TrackInfo> listed = ofKind(view->tracks(), kind);
    if (listed.empty()) return;
    std::vector<long> ids;
    for (const TrackInfo& track : listed) ids.push_back(track.id);
    if (kind == TrackInfo::Kind::Subtitle) ids.push_back(0);
    long current = kind == TrackInfo::Kind::Subtitle ? 0 : -1;
    for (const TrackInfo& track : listed)
        if (track.selected) current = track.id;
    const auto at = std::find(ids.begin(), ids.end(), current);
    const long next = at == ids.end() || std::next(at) == ids.end() ? ids.front() : *std::next(at);
    choose(kind, next);
}

bool TrackMenus::addSubtitleFile(const QString& path) {
    MovieView* view = view_();
    const std::string file = path.toStdString();
    if (!view || !view->movie()) {
        platform::log("subtitle file " + file + " not added: no movie is playing");
        return false;
    }
    if (const std::string why = unusableSubtitle(file); !why.empty()) {
        platform::log("subtitle file " + file + " not added: " + why);
        return false;
    }
    const SubtitleFile subtitle = describeSubtitle(file, moviePath_);
    view->addSubtitleFile(subtitle);
    if (!subtitle.language.empty()) {
        carried_.subtitleChosen = true;
        carried_.subtitleLanguage = subtitle.language;
    }
    return true;
}

void TrackMenus::loadSubtitle(QWidget* parent) {
    auto* dialog = new QFileDialog(parent, tr("Load Subtitle"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters(
        {tr("Subtitles (*.srt *.ass *.ssa *.vtt *.sub *.idx *.SRT *.ASS *.SSA *.VTT *.SUB *.IDX)"),
         tr("All files (*)")});
    if (!moviePath_.empty())
        dialog->setDirectory(QFileInfo(QString::fromStdString(moviePath_)).absolutePath());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) { addSubtitleFile(file); });
    dialog->open();
}

void TrackMenus::watch(QWidget* widget) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

bool TrackMenus::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (droppedSubtitles(drag->mimeData()).isEmpty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = droppedSubtitles(drop->mimeData());
            if (files.isEmpty()) return false;
            for (const QString& file : files) addSubtitleFile(file);
            drop->acceptProposedAction();
            return true;
        }
        case QEvent::ContextMenu: {
            refresh();
            context_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        case QEvent::MouseButtonPress: {
            // The picture's own window hands on its clicks as mouse events only;
            // a click on the widget itself becomes a context menu event next.
            auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() != Qt::RightButton || event->spontaneous()) return false;
            refresh();
            context_->popup(press->globalPosition().toPoint());
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace reel
