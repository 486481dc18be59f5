#include "app/preferences_dialog.h"

#include <algorithm>

#include "platform/preferences.h"
#include "ui_preferences_dialog.h"

namespace reel {

namespace {

// A switch stored by hand as text or number reads as what it plainly says.
bool truth(const QVariant& value) {
    const QString text = value.toString().trimmed().toLower();
    return text == QLatin1String("true") || text == QLatin1String("1") || text == QLatin1String("yes");
}

// The subtitle choices in the order the form lists them.
constexpr ShowSubtitles kShowChoices[] = {ShowSubtitles::Always, ShowSubtitles::WhenForeign,
                                          ShowSubtitles::Never};

QString joined(const std::vector<std::string>& list) {
    QStringList words;
    for (const std::string& word : list) words << QString::fromStdString(word);
    return words.join(QStringLiteral(", "));
}

}  // namespace

PlayerPreferences PlayerPreferences::load() {
    PlayerPreferences loaded;
    const auto domain = platform::persistentDomainForName(platform::kPreferenceDomain);
    if (!domain) return loaded;
    loaded.restorePlaylist = truth(domain->value(kRestorePlaylistKey));
    loaded.resumeMovies = truth(domain->value(kResumeMoviesKey));
    return loaded;
}

void PlayerPreferences::store() const {
    QVariantMap domain =
        platform::persistentDomainForName(platform::kPreferenceDomain).value_or(QVariantMap());
    domain.insert(kRestorePlaylistKey, restorePlaylist);
    domain.insert(kResumeMoviesKey, resumeMovies);
    platform::setPersistentDomain(domain, platform::kPreferenceDomain);
}

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::PreferencesDialog>()) {
    form_->setupUi(this);
    const PlayerPreferences stored = PlayerPreferences::load();
    form_->restorePlaylist->setChecked(stored.restorePlaylist);
    form_->resumeMovies->setChecked(stored.resumeMovies);
}

PreferencesDialog::~PreferencesDialog() = default;

void PreferencesDialog::accept() {
    PlayerPreferences chosen = PlayerPreferences::load();
    chosen.restorePlaylist = form_->restorePlaylist->isChecked();
    chosen.resumeMovies = form_->resumeMovies->isChecked();
    chosen.store();
    QDialog::accept();
}

void PreferencesDialog::setTrackPreferences(const TrackPreferences& preferences) {
    form_->audioLanguagesEdit->setText(joined(preferences.languages.audio));
    form_->subtitleLanguagesEdit->setText(joined(preferences.languages.subtitles));
    for (int i = 0; i < int(std::size(kShowChoices)); ++i)
        if (kShowChoices[i] == preferences.languages.show) form_->showSubtitlesBox->setCurrentIndex(i);
    form_->subtitlesInBandsBox->setChecked(preferences.subtitlesInBands);
}

TrackPreferences PreferencesDialog::trackPreferences() const {
    TrackPreferences preferences;
    preferences.languages.audio = languageList(form_->audioLanguagesEdit->text().toStdString());
    preferences.languages.subtitles = languageList(form_->subtitleLanguagesEdit->text().toStdString());
    const int show = std::clamp(form_->showSubtitlesBox->currentIndex(), 0, int(std::size(kShowChoices)) - 1);
    preferences.languages.show = kShowChoices[show];
    preferences.subtitlesInBands = form_->subtitlesInBandsBox->isChecked();
    return preferences;
}

}  // namespace reel
