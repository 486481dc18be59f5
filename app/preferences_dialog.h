#pragma once

#include <QDialog>
#include <memory>

#include "app/track_preferences.h"

namespace Ui {
class PreferencesDialog;
}

namespace reel {

// Edit > Preferences…: the settings a user may change, shown from and read
// back into their values; saving is the caller's.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    void setTrackPreferences(const TrackPreferences& preferences);
    TrackPreferences trackPreferences() const;

private:
    std::unique_ptr<Ui::PreferencesDialog> form_;
};

}  // namespace reel
