#include "app/preferences_dialog.h"

#include "platform/preferences.h"
#include "ui_preferences_dialog.h"

namespace reel {

namespace {

// A switch stored by hand as text or number reads as what it plainly says.
bool truth(const QVariant& value) {
    const QString text = value.toString().trimmed().toLower();
    return text == QLatin1String("true") || text == QLatin1String("1") || text == QLatin1String("yes");
}

}  // namespace

PlayerPreferences PlayerPreferences::load() {
    PlayerPreferences loaded;
    const auto domain = platform::persistentDomainForName(platform::kPreferenceDomain);
    if (domain) loaded.restorePlaylist = truth(domain->value(kRestorePlaylistKey));
    return loaded;
}

void PlayerPreferences::store() const {
    QVariantMap domain =
        platform::persistentDomainForName(platform::kPreferenceDomain).value_or(QVariantMap());
    domain.insert(kRestorePlaylistKey, restorePlaylist);
    platform::setPersistentDomain(domain, platform::kPreferenceDomain);
}

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::PreferencesDialog>()) {
    form_->setupUi(this);
    const PlayerPreferences stored = PlayerPreferences::load();
    form_->restorePlaylist->setChecked(stored.restorePlaylist);
}

PreferencesDialog::~PreferencesDialog() = default;

void PreferencesDialog::accept() {
    PlayerPreferences chosen = PlayerPreferences::load();
    chosen.restorePlaylist = form_->restorePlaylist->isChecked();
    chosen.store();
    QDialog::accept();
}

}  // namespace reel
