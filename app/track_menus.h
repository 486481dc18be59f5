#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "app/track_preferences.h"
#include "media/track_choice.h"
#include "platform/movie_view.h"

class QMenu;
class QWidget;
class QPoint;

namespace reel {

// The audio and subtitle tracks of the movie playing: the Playback menus that
// list them, the keys that cycle them, subtitle files added while it plays
// (Load Subtitle…, or dropped on the picture), and the choice of tracks for
// each movie viewed, by the preferences and by what the user chose last.
class TrackMenus : public QObject {
    Q_OBJECT
public:
    using ViewGetter = std::function<MovieView*()>;
    TrackMenus(QMenu* audioMenu, QMenu* subtitleMenu, ViewGetter view, QObject* parent = nullptr);

    // Before a movie is set on the view: the subtitle files it plays with and how its tracks are chosen.
    void prepare(MovieView& view, const std::string& moviePath);
    // The menus anew from the tracks the view has now.
    void refresh();

    // As the user chooses: the track plays, and its language holds for the following movies.
    void choose(TrackInfo::Kind kind, long id);
    // The next track of the kind, after the last one Off (subtitles) or the first again.
    void cycle(TrackInfo::Kind kind);
    // A subtitle file for the movie playing; false when there is none or the file cannot be used.
    bool addSubtitleFile(const QString& path);
    void loadSubtitle(QWidget* parent);

    // Right clicks on the widget open the track menus, subtitle files dropped on it are added.
    void watch(QWidget* widget);

    const TrackPreferences& preferences() const { return preferences_; }
    void setPreferences(const TrackPreferences& preferences);
    const CarriedChoice& carried() const { return carried_; }
    QMenu* contextMenu() const { return context_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill(QMenu* menu, TrackInfo::Kind kind, const std::vector<TrackInfo>& tracks);

    QMenu* audioMenu_;
    QMenu* subtitleMenu_;
    QMenu* context_;
    ViewGetter view_;
    TrackPreferences preferences_;
    CarriedChoice carried_;
    std::string moviePath_;
};

}  // namespace reel
