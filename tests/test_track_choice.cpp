// Which tracks a movie plays with, and how they are named.

#include <gtest/gtest.h>

#include <tuple>

#include "media/track_choice.h"

using namespace reel;

namespace {

TrackInfo track(TrackInfo::Kind kind, long id, std::string language, bool forced, bool isDefault) {
    TrackInfo t;
    std::tie(t.kind, t.id, t.language, t.forced, t.isDefault) =
        std::tuple(kind, id, std::move(language), forced, isDefault);
    return t;
}
TrackInfo audio(long id, std::string language, bool isDefault = false) {
    return track(TrackInfo::Kind::Audio, id, std::move(language), false, isDefault);
}
TrackInfo subtitle(long id, std::string language, bool forced = false, bool isDefault = false) {
    return track(TrackInfo::Kind::Subtitle, id, std::move(language), forced, isDefault);
}

TEST(TrackChoice, ByPreferencesAndCarriedChoices) {
    using enum ShowSubtitles;
    const std::vector<TrackInfo> film{audio(1, "eng", true), audio(2, "jpn"), subtitle(1, "eng"),
                                      subtitle(2, "fre"), subtitle(3, "eng", false, true)};
    const std::vector<TrackInfo> forcedFirst{audio(1, "ja"), subtitle(5, "en", true), subtitle(6, "en")};
    const LanguagePreferences japaneseFirst{{"ja", "en"}, {"en"}, WhenForeign};
    const LanguagePreferences englishOnly{{"English"}, {"fr", "en"}, WhenForeign};
    const LanguagePreferences german{{"de"}, {"fr", "en"}, WhenForeign};
    const LanguagePreferences englishAlways{{"en"}, {"en"}, Always}, germanAlways{{"de"}, {"en"}, Always};
    const CarriedChoice japanese{"jpn", false, ""}, off{std::nullopt, true, ""};
    const CarriedChoice french{std::nullopt, true, "French"}, missing{"de", true, "de"};
    const struct {
        const char* what;
        std::vector<TrackInfo> tracks;
        LanguagePreferences preferences;
        CarriedChoice carried;
        std::optional<long> audio, subtitle;
    } cases[] = {
        {"the first preferred language that is there", film, japaneseFirst, {}, 2, 0},
        {"foreign audio: subtitles in the first preferred language", film, german, {}, 1, 2},
        {"always", film, englishAlways, {}, 1, 1},
        {"never", film, {{"de"}, {"en"}, Never}, {}, 1, 0},
        {"full subtitles before forced ones", forcedFirst, englishAlways, {}, 1, 6},
        {"no preferred subtitle language there: none", film, {{"de"}, {"ru"}, Always}, {}, 1, 0},
        {"no subtitle languages given: the file's default", film, {{"de"}, {}, WhenForeign}, {}, 1, 3},
        {"no audio languages given: all understood", film, {{}, {"en"}, WhenForeign}, {}, 1, 0},
        {"nothing preferred: the file's default audio", {audio(1, "fr"), audio(2, "it", true)}, {}, {}, 2, 0},
        {"no default: the first audio", {audio(4, ""), audio(7, "it")}, {{"de"}, {}, WhenForeign}, {}, 4, 0},
        {"a carried audio language wins over the preferences", film, englishOnly, japanese, 2, 2},
        {"carried Off", film, germanAlways, off, 1, 0},
        {"a carried subtitle language by any of its names", film, {{"en"}, {}, Never}, french, 1, 2},
        {"a carried language the movie lacks falls back", film, japaneseFirst, missing, 2, 0},
        {"no tracks at all", {}, japaneseFirst, japanese, std::nullopt, 0},
    };
    for (const auto& c : cases) {
        const TrackChoice choice = chooseTracks(c.tracks, c.preferences, c.carried);
        EXPECT_EQ(choice.audio, c.audio) << c.what;
        EXPECT_EQ(choice.subtitle, c.subtitle) << c.what;
    }
}

TEST(TrackChoice, LanguagesMatchByAnyOfTheirNamesAndListsAsTyped) {
    const struct {
        const char *a, *b;
        bool same;
    } pairs[] = {{"en", "eng", true}, {"English", "EN", true}, {"ger", "deu", true},
                 {"chi", "zh", true}, {"tlh", "TLH", true},  // unknown, written alike
                 {"en", "fr", false}, {"", "", false},       // unknown is no language
                 {"en", "", false}};
    for (const auto& p : pairs) EXPECT_EQ(sameLanguage(p.a, p.b), p.same) << p.a << " / " << p.b;
    EXPECT_EQ(languageList(" ja;en  fr,,"), (std::vector<std::string>{"ja", "en", "fr"}));
}

TEST(TrackChoice, NamesTracksByLanguageAndCodec) {
    TrackInfo surround = audio(2, "eng"), plain = audio(1, "");
    std::tie(surround.codec, surround.channels, plain.codec, plain.channels) =
        std::tuple("ac3", 6, "pcm_s16le", 1);
    EXPECT_EQ(trackLabel(surround), "English (AC-3 5.1)");
    EXPECT_EQ(trackLabel(plain), "Unknown (PCM mono)");
    EXPECT_EQ(trackLabel(subtitle(4, "tlh", true)), "tlh (forced)");
}

}  // namespace
