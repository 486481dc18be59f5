#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class PreferencesDialog;
}

namespace reel {

// The player's switches, kept in the preference domain beside VolumeLevel.
struct PlayerPreferences {
    bool restorePlaylist = false;

    static PlayerPreferences load();
    // Writes the switches into the domain, keeping every other key in it.
    void store() const;
};

inline constexpr const char* kRestorePlaylistKey = "RestorePlaylist";

// Edit > Preferences…: shows the stored switches and stores them when accepted.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    void accept() override;
    Ui::PreferencesDialog& form() { return *form_; }

private:
    std::unique_ptr<Ui::PreferencesDialog> form_;
};

}  // namespace reel
