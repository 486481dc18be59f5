#include "app/track_preferences.h"

#include <QStringList>

#include "platform/preferences.h"

namespace reel {

namespace {

const QString kAudioLanguages = QStringLiteral("AudioLanguages");
const QString kSubtitleLanguages = QStringLiteral("SubtitleLanguages");
const QString kShowSubtitles = QStringLiteral("ShowSubtitles");
const QString kSubtitlesInBands = QStringLiteral("SubtitlesInBands");

// Stored as words, so the file reads plainly and survives reordering the choices.
constexpr std::pair<ShowSubtitles, const char*> kShowWords[] = {
    {ShowSubtitles::Always, "always"},
    {ShowSubtitles::WhenForeign, "foreign"},
    {ShowSubtitles::Never, "never"},
};

std::string joined(const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& word : list) text += (text.empty() ? "" : ", ") + word;
    return text;
}

}  // namespace

TrackPreferences TrackPreferences::load() {
    TrackPreferences preferences;
    const QVariantMap domain =
        platform::persistentDomainForName(platform::kPreferenceDomain).value_or(QVariantMap());
    // A list written by hand in the file comes back from QSettings as a list.
    auto words = [&](const QString& key) {
        const QVariant value = domain.value(key);
        const QString text =
            value.typeId() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString();
        return languageList(text.toStdString());
    };
    preferences.languages.audio = words(kAudioLanguages);
    preferences.languages.subtitles = words(kSubtitleLanguages);
    const QString show = domain.value(kShowSubtitles).toString().trimmed().toLower();
    for (const auto& [value, word] : kShowWords)
        if (show == QLatin1String(word)) preferences.languages.show = value;
    if (domain.contains(kSubtitlesInBands)) {
        const QString bands = domain.value(kSubtitlesInBands).toString().trimmed().toLower();
        preferences.subtitlesInBands = !(bands == "false" || bands == "0" || bands == "no");
    }
    return preferences;
}

void TrackPreferences::save() const {
    QVariantMap domain =
        platform::persistentDomainForName(platform::kPreferenceDomain).value_or(QVariantMap());
    domain.insert(kAudioLanguages, QString::fromStdString(joined(languages.audio)));
    domain.insert(kSubtitleLanguages, QString::fromStdString(joined(languages.subtitles)));
    for (const auto& [value, word] : kShowWords)
        if (languages.show == value) domain.insert(kShowSubtitles, QString::fromLatin1(word));
    domain.insert(kSubtitlesInBands, subtitlesInBands);
    platform::setPersistentDomain(domain, platform::kPreferenceDomain);
}

}  // namespace reel
