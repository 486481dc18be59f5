// Which tracks a movie plays with, and how they are named.

#include <gtest/gtest.h>

#include "media/track_choice.h"

using namespace reel;

namespace {

TrackInfo audio(long id, std::string language, bool isDefault = false) {
    TrackInfo t;
    t.kind = TrackInfo::Kind::Audio;
    t.id = id;
    t.language = std::move(language);
    t.isDefault = isDefault;
    return t;
}
TrackInfo subtitle(long id, std::string language, bool forced = false, bool isDefault = false) {
    TrackInfo t;
    t.kind = TrackInfo::Kind::Subtitle;
    t.id = id;
    t.language = std::move(language);
    t.forced = forced;
    t.isDefault = isDefault;
    return t;
}

struct Case {
    const char* what;
    std::vector<TrackInfo> tracks;
    LanguagePreferences preferences;
    CarriedChoice carried;
    std::optional<long> audio, subtitle;
};

TEST(TrackChoice, ByPreferencesAndCarriedChoices) {
    const std::vector<TrackInfo> film{audio(1, "eng", true), audio(2, "jpn"), subtitle(1, "eng"),
                                      subtitle(2, "fre"), subtitle(3, "eng", false, true)};
    const LanguagePreferences japaneseFirst{{"ja", "en"}, {"en"}, ShowSubtitles::WhenForeign};
    const LanguagePreferences englishOnly{{"English"}, {"fr", "en"}, ShowSubtitles::WhenForeign};
    CarriedChoice japanese;
    japanese.audioLanguage = "jpn";
    CarriedChoice off;
    off.subtitleChosen = true;
    CarriedChoice french;
    french.subtitleChosen = true;
    french.subtitleLanguage = "French";
    CarriedChoice missing;
    missing.audioLanguage = "de";
    missing.subtitleChosen = true;
    missing.subtitleLanguage = "de";

    const Case cases[] = {
        {"the first preferred language that is there", film, japaneseFirst, {}, 2, 0},
        {"understood audio: no subtitles", film, englishOnly, {}, 1, 0},
        {"foreign audio: subtitles in the first preferred language",
         film,
         {{"de"}, {"fr", "en"}, ShowSubtitles::WhenForeign},
         {},
         1,
         2},
        {"always", film, {{"en"}, {"en"}, ShowSubtitles::Always}, {}, 1, 1},
        {"never", film, {{"de"}, {"en"}, ShowSubtitles::Never}, {}, 1, 0},
        {"full subtitles before forced ones",
         {audio(1, "ja"), subtitle(5, "en", true), subtitle(6, "en")},
         {{"en"}, {"en"}, ShowSubtitles::Always},
         {},
         1,
         6},
        {"no preferred subtitle language there: none",
         film,
         {{"de"}, {"ru"}, ShowSubtitles::Always},
         {},
         1,
         0},
        {"no subtitle languages given: the file's default",
         film,
         {{"de"}, {}, ShowSubtitles::WhenForeign},
         {},
         1,
         3},
        {"no audio languages given: every soundtrack is understood",
         film,
         {{}, {"en"}, ShowSubtitles::WhenForeign},
         {},
         1,
         0},
        {"nothing preferred: the file's default audio", {audio(1, "fr"), audio(2, "it", true)}, {}, {}, 2, 0},
        {"no default: the first audio",
         {audio(4, ""), audio(7, "it")},
         {{"de"}, {}, ShowSubtitles::WhenForeign},
         {},
         4,
         0},
        {"a carried audio language wins over the preferences", film, englishOnly, japanese, 2, 2},
        {"carried Off", film, {{"de"}, {"en"}, ShowSubtitles::Always}, off, 1, 0},
        {"a carried subtitle language by any of its names",
         film,
         {{"en"}, {}, ShowSubtitles::Never},
         french,
         1,
         2},
        {"a carried language the movie lacks falls back", film, japaneseFirst, missing, 2, 0},
        {"no tracks at all", {}, japaneseFirst, japanese, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        const TrackChoice choice = chooseTracks(c.tracks, c.preferences, c.carried);
        EXPECT_EQ(choice.audio, c.audio) << c.what;
        EXPECT_EQ(choice.subtitle, c.subtitle) << c.what;
    }
}

TEST(TrackChoice, LanguagesMatchByAnyOfTheirNames) {
    EXPECT_TRUE(sameLanguage("en", "eng"));
    EXPECT_TRUE(sameLanguage("English", "EN"));
    EXPECT_TRUE(sameLanguage("ger", "deu"));
    EXPECT_TRUE(sameLanguage("chi", "zh"));
    EXPECT_TRUE(sameLanguage("tlh", "TLH"));  // unknown, written alike
    EXPECT_FALSE(sameLanguage("en", "fr"));
    EXPECT_FALSE(sameLanguage("", ""));  // unknown is no language
    EXPECT_FALSE(sameLanguage("en", ""));
    EXPECT_EQ(languageKey("Japanese"), "ja");
}

TEST(TrackChoice, ReadsLanguageListsAsTyped) {
    EXPECT_EQ(languageList("ja, en"), (std::vector<std::string>{"ja", "en"}));
    EXPECT_EQ(languageList(" ja;en  fr,,"), (std::vector<std::string>{"ja", "en", "fr"}));
    EXPECT_TRUE(languageList(" , ").empty());
}

TEST(TrackChoice, NamesTracksByLanguageTitleAndCodec) {
    TrackInfo commentary = audio(2, "eng");
    commentary.title = "Commentary";
    commentary.codec = "ac3";
    commentary.channels = 6;
    EXPECT_EQ(trackLabel(commentary), "English \u2014 Commentary (AC-3 5.1)");
    TrackInfo plain = audio(1, "");
    plain.codec = "pcm_s16le";
    plain.channels = 1;
    EXPECT_EQ(trackLabel(plain), "Unknown (PCM mono)");
    TrackInfo external = subtitle(3, "ru");
    external.codec = "subrip";
    external.external = true;
    EXPECT_EQ(trackLabel(external), "Russian (SubRip, external)");
    TrackInfo odd = subtitle(4, "tlh", true);
    odd.codec = "";
    EXPECT_EQ(trackLabel(odd), "tlh (forced)");
    EXPECT_EQ(trackLines({commentary, external}),
              "Audio: English \u2014 Commentary (AC-3 5.1)\nSubtitles: Russian (SubRip, external)");
}

}  // namespace
