#include "media/track_choice.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace reel {

namespace {

struct Language {
    std::string_view two, three, alternative, name;
};

// The languages films are most often dubbed or subtitled in. Any other
// language still matches when its names are written the same way.
constexpr std::array<Language, 30> kLanguages{{
    {"en", "eng", "", "English"},    {"fr", "fre", "fra", "French"}, {"de", "ger", "deu", "German"},
    {"es", "spa", "", "Spanish"},    {"it", "ita", "", "Italian"},   {"pt", "por", "", "Portuguese"},
    {"ru", "rus", "", "Russian"},    {"uk", "ukr", "", "Ukrainian"}, {"pl", "pol", "", "Polish"},
    {"cs", "cze", "ces", "Czech"},   {"nl", "dut", "nld", "Dutch"},  {"sv", "swe", "", "Swedish"},
    {"da", "dan", "", "Danish"},     {"no", "nor", "", "Norwegian"}, {"fi", "fin", "", "Finnish"},
    {"el", "gre", "ell", "Greek"},   {"tr", "tur", "", "Turkish"},   {"ar", "ara", "", "Arabic"},
    {"he", "heb", "", "Hebrew"},     {"hi", "hin", "", "Hindi"},     {"ja", "jpn", "", "Japanese"},
    {"zh", "chi", "zho", "Chinese"}, {"ko", "kor", "", "Korean"},    {"th", "tha", "", "Thai"},
    {"vi", "vie", "", "Vietnamese"}, {"hu", "hun", "", "Hungarian"}, {"ro", "rum", "ron", "Romanian"},
    {"bg", "bul", "", "Bulgarian"},  {"sr", "srp", "", "Serbian"},   {"hr", "hrv", "", "Croatian"},
}};

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

const Language* known(std::string_view language) {
    const std::string key = lowered(language);
    for (const Language& l : kLanguages) {
        if (key == l.two || key == l.three || (!l.alternative.empty() && key == l.alternative) ||
            key == lowered(l.name))
            return &l;
    }
    return nullptr;
}

std::vector<const TrackInfo*> ofKind(const std::vector<TrackInfo>& tracks, TrackInfo::Kind kind) {
    std::vector<const TrackInfo*> found;
    for (const TrackInfo& t : tracks)
        if (t.kind == kind) found.push_back(&t);
    return found;
}

// The first track in a language, full subtitles before forced ones.
const TrackInfo* inLanguage(const std::vector<const TrackInfo*>& tracks, std::string_view language) {
    const TrackInfo* forced = nullptr;
    for (const TrackInfo* t : tracks) {
        if (!sameLanguage(t->language, language)) continue;
        if (!t->forced) return t;
        if (!forced) forced = t;
    }
    return forced;
}

const TrackInfo* inFirstLanguage(const std::vector<const TrackInfo*>& tracks,
                                 const std::vector<std::string>& languages) {
    for (const std::string& language : languages)
        if (const TrackInfo* t = inLanguage(tracks, language)) return t;
    return nullptr;
}

const TrackInfo* fileDefault(const std::vector<const TrackInfo*>& tracks) {
    for (const TrackInfo* t : tracks)
        if (t->isDefault) return t;
    return nullptr;
}

std::string codecName(const TrackInfo& track) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 14> names{{
        {"aac", "AAC"},
        {"ac3", "AC-3"},
        {"eac3", "E-AC-3"},
        {"dts", "DTS"},
        {"mp3", "MP3"},
        {"mp2", "MP2"},
        {"opus", "Opus"},
        {"vorbis", "Vorbis"},
        {"flac", "FLAC"},
        {"subrip", "SubRip"},
        {"ass", "ASS"},
        {"mov_text", "MP4 text"},
        {"webvtt", "WebVTT"},
        {"dvd_subtitle", "VobSub"},
    }};
    for (const auto& [codec, name] : names)
        if (track.codec == codec) return std::string(name);
    if (track.codec.rfind("pcm_", 0) == 0) return "PCM";
    return track.codec;
}

std::string channelText(int channels) {
    switch (channels) {
        case 0:
            return {};
        case 1:
            return "mono";
        case 2:
            return "stereo";
        case 6:
            return "5.1";
        case 8:
            return "7.1";
        default:
            return std::to_string(channels) + " ch";
    }
}

}  // namespace

std::string languageKey(std::string_view language) {
    if (const Language* l = known(language)) return std::string(l->two);
    return lowered(language);
}

bool isKnownLanguage(std::string_view word) { return known(word) != nullptr; }

bool sameLanguage(std::string_view a, std::string_view b) {
    return !a.empty() && !b.empty() && languageKey(a) == languageKey(b);
}

std::vector<std::string> languageList(std::string_view text) {
    std::vector<std::string> list;
    std::string word;
    auto flush = [&] {
        if (!word.empty()) list.push_back(word);
        word.clear();
    };
    for (char c : text) {
        if (c == ',' || c == ';' || std::isspace(static_cast<unsigned char>(c)))
            flush();
        else
            word += c;
    }
    flush();
    return list;
}

TrackChoice chooseTracks(const std::vector<TrackInfo>& tracks, const LanguagePreferences& preferences,
                         const CarriedChoice& carried) {
    TrackChoice choice;
    const auto audio = ofKind(tracks, TrackInfo::Kind::Audio);
    const auto subtitles = ofKind(tracks, TrackInfo::Kind::Subtitle);

    const TrackInfo* sound = nullptr;
    if (carried.audioLanguage) sound = inLanguage(audio, *carried.audioLanguage);
    if (!sound) sound = inFirstLanguage(audio, preferences.audio);
    if (!sound) sound = fileDefault(audio);
    if (!sound && !audio.empty()) sound = audio.front();
    if (sound) choice.audio = sound->id;

    if (carried.subtitleChosen) {
        if (carried.subtitleLanguage.empty()) {
            choice.subtitle = 0;
            return choice;
        }
        if (const TrackInfo* t = inLanguage(subtitles, carried.subtitleLanguage)) {
            choice.subtitle = t->id;
            return choice;
        }
    }
    // Without preferred audio languages every soundtrack counts as understood.
    const bool understood =
        !sound || preferences.audio.empty() ||
        std::any_of(preferences.audio.begin(), preferences.audio.end(),
                    [&](const std::string& language) { return sameLanguage(sound->language, language); });
    const bool show = preferences.show == ShowSubtitles::Always ||
                      (preferences.show == ShowSubtitles::WhenForeign && !understood);
    choice.subtitle = 0;
    if (!show || subtitles.empty()) return choice;
    if (const TrackInfo* t = inFirstLanguage(subtitles, preferences.subtitles)) {
        choice.subtitle = t->id;
    } else if (preferences.subtitles.empty()) {
        // No language asked for: the file's own default, else the first there is.
        const TrackInfo* own = fileDefault(subtitles);
        choice.subtitle = (own ? own : subtitles.front())->id;
    }
    return choice;
}

std::string trackLabel(const TrackInfo& track) {
    std::string label;
    if (const Language* l = known(track.language))
        label = std::string(l->name);
    else
        label = track.language.empty() ? "Unknown" : track.language;
    if (!track.title.empty()) label += " \u2014 " + track.title;
    std::string detail = codecName(track);
    const std::string channels = channelText(track.channels);
    if (!channels.empty()) detail += (detail.empty() ? "" : " ") + channels;
    if (track.external) detail += (detail.empty() ? "" : ", ") + std::string("external");
    if (track.forced) detail += (detail.empty() ? "" : ", ") + std::string("forced");
    if (!detail.empty()) label += " (" + detail + ")";
    return label;
}

std::string trackLines(const std::vector<TrackInfo>& tracks) {
    std::string lines;
    for (const TrackInfo& track : tracks) {
        if (!lines.empty()) lines += "\n";
        lines += (track.kind == TrackInfo::Kind::Audio ? "Audio: " : "Subtitles: ") + trackLabel(track);
    }
    return lines;
}

}  // namespace reel
