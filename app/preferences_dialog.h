#pragma once

#include <QDialog>
#include <memory>

#include "app/track_preferences.h"

namespace Ui {
class PreferencesDialog;
}

namespace reel {

// The player's switches, kept in the preference domain beside VolumeLevel.
struct PlayerPreferences {
    bool restorePlaylist = false;
    bool resumeMovies = false;

    static PlayerPreferences load();
    // Writes the switches into the domain, keeping every other key in it.
    void store() const;
};

inline constexpr const char* kRestorePlaylistKey = "RestorePlaylist";
inline constexpr const char* kResumeMoviesKey = "ResumeMovies";

// Edit > Preferences…: shows the stored settings. Accepting stores the
// player's switches; the track settings are read back by whoever opened it.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    void accept() override;
    Ui::PreferencesDialog& form() { return *form_; }

    void setTrackPreferences(const TrackPreferences& preferences);
    TrackPreferences trackPreferences() const;

private:
    std::unique_ptr<Ui::PreferencesDialog> form_;
};

}  // namespace reel
