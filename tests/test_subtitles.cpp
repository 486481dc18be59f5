// Subtitles and audio tracks through libmpv, with no picture and no sound
// (vo=null, ao=null): the tracks found, the choice by preference and its
// carrying over, track changes in place, text in another encoding, and
// subtitle files that cannot be read.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include "app/app_controller.h"
#include "app/interface.h"
#include "app/preferences_dialog.h"
#include "app/track_menus.h"
#include "platform/log.h"
#include "platform/mpv_movie_view.h"
#include "platform/mpv_names.h"
#include "platform/mpv_player.h"
#include "support/log_recorder.h"
#include "support/qt_support.h"
#include "transport/fade_window.h"
#include "ui/full_screen_window.h"

using namespace reel;

namespace {

const QString kRussian =
    QString::fromUtf8("Привет! Сегодня мы будем смотреть фильм о море, кораблях и дальних странах.");

// Windows-1251, the Cyrillic letters and ASCII the lines are made of.
QByteArray cp1251(const QString& text) {
    QByteArray bytes;
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x80)
            bytes += char(u);
        else if (u >= 0x410 && u <= 0x44F)
            bytes += char(0xC0 + (u - 0x410));
        else
            bytes += '?';
    }
    return bytes;
}

// One line shown for the first minute.
QByteArray srt(const QByteArray& line) { return "1\n00:00:00,000 --> 00:01:00,000\n" + line + "\n\n"; }

}  // namespace

class SubtitlesTest : public test::InterfaceTest {
    Q_OBJECT

    platform::MpvPlayer& player() { return static_cast<platform::MpvMovieView*>(c().view())->player(); }
    QString path(const QString& name) { return files_.filePath(name); }

    void write(const QString& name, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // A movie with two soundtracks, English then Japanese (or the other way
    // round) with a commentary title, and an English subtitle track inside.
    QString movie(const QString& name, double seconds, bool japaneseFirst = false) {
        if (QFile::exists(path(name))) return path(name);
        const QString inside = path(name + ".inside.srt");
        write(name + ".inside.srt", srt("Inside"));
        test::makeMovie(path(name),
                        QString("-f lavfi -i testsrc2=size=320x180:rate=25 -f lavfi -i sine=frequency=440 "
                                "-f lavfi -i sine=frequency=880 -i %1 -t %2 -map 0:v -map 1:a -map 2:a "
                                "-map 3:s -c:v mpeg4 -c:a aac -ac 2 -c:s mov_text "
                                "-metadata:s:a:0 language=%3 -metadata:s:a:1 language=%4 "
                                "-metadata:s:a:1 handler_name=Commentary -metadata:s:s:0 language=eng")
                            .arg(inside)
                            .arg(seconds)
                            .arg(japaneseFirst ? "jpn" : "eng", japaneseFirst ? "eng" : "jpn")
                            .split(' '));
        QFile::remove(inside);
        return path(name);
    }

    void view(int row) {
        viewRow(row);
        QVERIFY(c().view());
    }

    // The tracks once mpv has listed them, the external files included: they
    // are all there once a sound track has been chosen.
    std::vector<TrackInfo> tracksOnceLoaded(std::size_t count) {
        std::vector<TrackInfo> tracks;
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(
                (tracks = player().tracks()).size() >= count && selected(TrackInfo::Kind::Audio) != 0, 8000);
        }();
        return tracks;
    }

    long selected(TrackInfo::Kind kind) {
        for (const TrackInfo& t : player().tracks())
            if (t.kind == kind && t.selected) return t.id;
        return 0;
    }

    const TrackInfo* find(const std::vector<TrackInfo>& tracks, TrackInfo::Kind kind,
                          const std::string& language) {
        for (const TrackInfo& t : tracks)
            if (t.kind == kind && t.language == language) return &t;
        return nullptr;
    }

    void setPreferences(std::vector<std::string> audio, std::vector<std::string> subtitles,
                        ShowSubtitles show) {
        TrackPreferences preferences = c().trackMenus().preferences();
        preferences.languages = {std::move(audio), std::move(subtitles), show};
        c().trackMenus().setPreferences(preferences);
    }

private slots:
    void initTestCase() { qputenv("REEL_MPV_OPTIONS", "vo=null,ao=null"); }

    void findsEveryTrackAndListsWhatPlays() {
        const QString film = movie("Film/film.mp4", 10);
        write("Film/film.ru.srt", srt(cp1251(kRussian)));
        write("Film/film.fr.srt", srt("Bonjour"));
        write("Film/Subs/film.de.srt", srt("Hallo"));
        write("Film/filmmaker.srt", srt("not this one"));
        add({film});
        c().selectRow(0);
        c().showSelectedEntryInfo();
        const QString panel = c().outlets().tracksField->text();
        QCOMPARE(panel.count('\n') + 1, 6);
        QVERIFY2(panel.contains("Audio: Japanese \u2014 Commentary (AAC stereo)"), qPrintable(panel));
        QVERIFY2(panel.contains("Subtitles: English (MP4 text)"), qPrintable(panel));
        QVERIFY2(panel.contains("Subtitles: Russian (SubRip, external)"), qPrintable(panel));

        view(0);
        const auto tracks = tracksOnceLoaded(6);
        QCOMPARE(int(tracks.size()), 6);
        for (const char* language : {"fr", "ru", "de"}) {
            const TrackInfo* t = find(tracks, TrackInfo::Kind::Subtitle, language);
            QVERIFY2(t && t->external, language);
        }
        QVERIFY(find(tracks, TrackInfo::Kind::Audio, "jpn"));
        // The menus list the same tracks, and Off.
        QTRY_COMPARE(c().outlets().subtitleMenu->actions().size(), 5);
        QCOMPARE(c().outlets().audioMenu->actions().size(), 2);
        QCOMPARE(c().outlets().subtitleMenu->actions().last()->text(), QString("Off"));
    }

    void choosesByPreferenceAndShowsOtherEncodings() {
        const QString film = movie("Film/film.mp4", 10);
        write("Film/film.ru.srt", srt(cp1251(kRussian)));
        setPreferences({"ja"}, {"ru", "en"}, ShowSubtitles::WhenForeign);
        add({film});
        view(0);
        const auto tracks = tracksOnceLoaded(3);
        QTRY_COMPARE(selected(TrackInfo::Kind::Audio), find(tracks, TrackInfo::Kind::Audio, "jpn")->id);
        // Japanese is understood: no subtitles.
        QCOMPARE(selected(TrackInfo::Kind::Subtitle), 0L);

        relaunch();
        setPreferences({"de"}, {"ru", "en"}, ShowSubtitles::WhenForeign);
        add({film});
        view(0);
        const auto again = tracksOnceLoaded(3);
        const TrackInfo* russian = find(again, TrackInfo::Kind::Subtitle, "ru");
        QVERIFY(russian);
        QTRY_COMPARE(selected(TrackInfo::Kind::Subtitle), russian->id);
        // Windows-1251 bytes shown as the Cyrillic text they are.
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(player().propertyText(mpv::kSubtitleText)), kRussian,
                                  8000);
    }

    void changingTrackKeepsThePositionAndCarriesOn() {
        const QString one = movie("Series/ep1.mp4", 4), two = movie("Series/ep2.mp4", 4, true);
        add({one, two});
        view(0);
        const auto tracks = tracksOnceLoaded(3);
        QTRY_VERIFY_WITH_TIMEOUT(player().position() > 1.0, 5000);
        QSignalSpy restarts(&player(), &platform::MpvPlayer::playbackRestarted);
        const double before = player().position();
        const long japanese = find(tracks, TrackInfo::Kind::Audio, "jpn")->id;
        const long english = find(tracks, TrackInfo::Kind::Subtitle, "eng")->id;
        c().trackMenus().choose(TrackInfo::Kind::Audio, japanese);
        c().trackMenus().choose(TrackInfo::Kind::Subtitle, english);
        QTRY_COMPARE(selected(TrackInfo::Kind::Audio), japanese);
        QTRY_COMPARE(selected(TrackInfo::Kind::Subtitle), english);
        const double after = player().position();
        QVERIFY2(after >= before && after < before + 1.5,
                 qPrintable(QString("%1 -> %2").arg(before).arg(after)));
        QCOMPARE(restarts.count(), 0);

        // The next episode lists its languages the other way round: the choice follows the language.
        QTRY_COMPARE_WITH_TIMEOUT(c().outlets().cNameField->text(), QString("ep2"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            !player().tracks().empty() && player().propertyText(mpv::kPath) == two.toStdString(), 8000);
        const auto next = tracksOnceLoaded(3);
        QTRY_COMPARE(selected(TrackInfo::Kind::Audio), find(next, TrackInfo::Kind::Audio, "jpn")->id);
        QCOMPARE(find(next, TrackInfo::Kind::Audio, "jpn")->id, 1L);
        QTRY_COMPARE(selected(TrackInfo::Kind::Subtitle), find(next, TrackInfo::Kind::Subtitle, "eng")->id);
    }

    void cyclingGoesThroughEveryTrackAndOff() {
        add({movie("Film/film.mp4", 10)});
        setPreferences({"en"}, {}, ShowSubtitles::Never);
        view(0);
        const auto tracks = tracksOnceLoaded(2);
        std::vector<long> subtitles;
        for (const TrackInfo& t : tracks)
            if (t.kind == TrackInfo::Kind::Subtitle) subtitles.push_back(t.id);
        subtitles.push_back(0);
        QTRY_COMPARE(selected(TrackInfo::Kind::Subtitle), 0L);
        // From Off through every track and back to Off.
        for (long expected : subtitles) {
            c().trackMenus().cycle(TrackInfo::Kind::Subtitle);
            QTRY_COMPARE(selected(TrackInfo::Kind::Subtitle), expected);
        }
        const long audio = selected(TrackInfo::Kind::Audio);
        c().trackMenus().cycle(TrackInfo::Kind::Audio);
        QTRY_VERIFY(selected(TrackInfo::Kind::Audio) != audio);
        c().trackMenus().cycle(TrackInfo::Kind::Audio);
        QTRY_COMPARE(selected(TrackInfo::Kind::Audio), audio);
    }

    void addsSubtitleFilesWhilePlaying() {
        add({movie("Film/film.mp4", 10)});
        write("elsewhere/late.es.srt", srt("Hola"));
        write("elsewhere/dropped.it.srt", srt("Ciao"));
        view(0);
        const std::size_t before = tracksOnceLoaded(3).size();
        QTRY_VERIFY_WITH_TIMEOUT(player().position() > 0.5, 5000);
        QSignalSpy restarts(&player(), &platform::MpvPlayer::playbackRestarted);
        QVERIFY(c().trackMenus().addSubtitleFile(path("elsewhere/late.es.srt")));
        QTRY_VERIFY(find(player().tracks(), TrackInfo::Kind::Subtitle, "es"));
        QTRY_COMPARE(selected(TrackInfo::Kind::Subtitle),
                     find(player().tracks(), TrackInfo::Kind::Subtitle, "es")->id);
        QTRY_COMPARE(QString::fromStdString(player().propertyText(mpv::kSubtitleText)), QString("Hola"));

        // Dropped on the picture.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path("elsewhere/dropped.it.srt")),
                      QUrl::fromLocalFile(path("Film/film.mp4"))});
        QWidget* picture = c().view()->widget();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(picture, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(picture, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(player().tracks().size(), before + 2);
        QTRY_COMPARE(QString::fromStdString(player().propertyText(mpv::kSubtitleText)), QString("Ciao"));
        QCOMPARE(restarts.count(), 0);
        QVERIFY(c().view()->isPlaying());

        // Not subtitles: not taken.
        QMimeData movies;
        movies.setUrls({QUrl::fromLocalFile(path("Film/film.mp4"))});
        QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &movies, Qt::LeftButton, Qt::NoModifier);
        refused.ignore();
        QApplication::sendEvent(picture, &refused);
        QVERIFY(!refused.isAccepted());
    }

    void fullScreenLeavesTheBandsToSubtitlesWhenAsked() {
        add({movie("Film/film.mp4", 10)});
        view(0);
        for (bool bands : {true, false}) {
            TrackPreferences preferences = c().trackMenus().preferences();
            preferences.subtitlesInBands = bands;
            c().trackMenus().setPreferences(preferences);
            c().fullScreen();
            QVERIFY(c().inFullscreen());
            const QSize screen = c().fullscreenWindow()->size();
            const QRect view = c().view()->widget()->geometry();
            if (bands) {
                QCOMPARE(view.size(), screen);  // the player letterboxes, bands included
            } else {
                QCOMPARE(view.width(), screen.width());  // 16:9 on a 5:4 screen: the picture alone
                QCOMPARE(view.height(), screen.width() * 9 / 16);
            }
            c().fullScreen();
        }
    }

    void preferencesAreEditedAndKept() {
        TrackPreferences chosen;
        chosen.languages = {{"ja", "en"}, {"en"}, ShowSubtitles::Never};
        chosen.subtitlesInBands = false;
        PreferencesDialog dialog;
        dialog.setTrackPreferences(chosen);
        QCOMPARE(dialog.trackPreferences(), chosen);
        dialog.findChild<QLineEdit*>("audioLanguagesEdit")->setText(" de ;fr ");
        dialog.findChild<QComboBox*>("showSubtitlesBox")->setCurrentIndex(0);
        QCOMPARE(dialog.trackPreferences().languages.audio, (std::vector<std::string>{"de", "fr"}));
        QCOMPARE(dialog.trackPreferences().languages.show, ShowSubtitles::Always);

        // Saved beside the volume, which stays.
        QFile volume(config_.filePath("reel/reel.ini"));
        QVERIFY(volume.open(QIODevice::WriteOnly));
        volume.write("[General]\nVolumeLevel=0.3\n");
        volume.close();
        c().trackMenus().setPreferences(chosen);
        QCOMPARE(TrackPreferences::load(), chosen);
        QSettings file(config_.filePath("reel/reel.ini"), QSettings::IniFormat);
        QCOMPARE(file.value("VolumeLevel").toString(), QString("0.3"));
        QCOMPARE(file.value("ShowSubtitles").toString(), QString("never"));

        // Written by hand, in any case; what is not understood is the default.
        struct Case {
            QByteArray ini;
            std::vector<std::string> audio;
            ShowSubtitles show;
            bool bands;
        };
        const Case cases[] = {
            {"[General]\nAudioLanguages=ja, en\nShowSubtitles=ALWAYS\nSubtitlesInBands=false\n",
             {"ja", "en"},
             ShowSubtitles::Always,
             false},
            {"[General]\nAudioLanguages=fr de\nShowSubtitles=sometimes\nSubtitlesInBands=1\n",
             {"fr", "de"},
             ShowSubtitles::WhenForeign,
             true},
            {"[General]\n", {}, ShowSubtitles::WhenForeign, true},
        };
        for (const Case& c : cases) {
            QFile ini(config_.filePath("reel/reel.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ini.write(c.ini);
            ini.close();
            const TrackPreferences read = TrackPreferences::load();
            QCOMPARE(read.languages.audio, c.audio);
            QCOMPARE(read.languages.show, c.show);
            QCOMPARE(read.subtitlesInBands, c.bands);
        }
    }

    void brokenSubtitleFilesAreSkippedAndTheMoviePlays() {
        platform::setLogEnabled(true);
        test::LogRecorder log;
        const QString film = movie("Broken/broken.mp4", 6);
        QByteArray garbage(64 * 1024, '\0');
        for (int i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919 + 13) % 251);
        write("Broken/broken.garbage.srt", garbage);
        write("Broken/broken.big.srt", QByteArray(20 << 20, 'x'));
        write("Broken/broken.unclosed.ass",
              "[Script Info\nTitle: never closed\n[Events\nFormat: Layer, Start\nDialogue: 0,0:00:00.00");
        write("Broken/broken.noise.srt",
              QByteArray("\xff\xfe\xfd 1\n-->\n\x80\x81 --> \n", 16).repeated(2000));
        add({film});
        view(0);
        QTRY_VERIFY_WITH_TIMEOUT(player().position() > 2.0, 10000);
        QVERIFY(log.count("broken.garbage.srt left out: not text"));
        QVERIFY(log.count("broken.big.srt left out: too large"));
        QVERIFY(c().view()->isPlaying());
        // What mpv could not read is named too, and the rest plays on.
        c().trackMenus().cycle(TrackInfo::Kind::Subtitle);
        c().trackMenus().cycle(TrackInfo::Kind::Subtitle);
        const double at = player().position();
        QTRY_VERIFY_WITH_TIMEOUT(player().position() > at + 0.5, 5000);
        QVERIFY(!c().trackMenus().addSubtitleFile(path("Broken/broken.big.srt")));
        QVERIFY(!c().trackMenus().addSubtitleFile(path("Broken/missing.srt")));
        platform::setLogEnabled(false);
    }
};

QTEST_MAIN(SubtitlesTest)
#include "test_subtitles.moc"
