// Subtitles and sound tracks through libmpv, with no picture and no sound.

#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include "app/preferences_dialog.h"
#include "app/track_menus.h"
#include "platform/mpv_movie_view.h"
#include "platform/mpv_names.h"
#include "platform/mpv_player.h"
#include "support/media.h"
#include "support/qt_support.h"
#include "ui/full_screen_window.h"

using namespace reel;
constexpr TrackInfo::Kind kAudio = TrackInfo::Kind::Audio, kSubtitle = TrackInfo::Kind::Subtitle;

namespace {

const QString kRussian =
    QString::fromUtf8("Привет! Сегодня мы будем смотреть фильм о море, кораблях и дальних странах.");

// Windows-1251 for the Cyrillic letters, ASCII as it is.
QByteArray cp1251(const QString& text) {
    QByteArray bytes;
    for (QChar c : text) bytes += c.unicode() < 0x80 ? char(c.unicode()) : char(0xC0 + (c.unicode() - 0x410));
    return bytes;
}

// One line shown for the first minute.
QByteArray srt(const QByteArray& line) { return "1\n00:00:00,000 --> 00:01:00,000\n" + line + "\n\n"; }

}  // namespace

class SubtitlesTest : public test::InterfaceTest {
    Q_OBJECT

    platform::MpvPlayer& player() { return static_cast<platform::MpvMovieView*>(c().view())->player(); }
    QString path(const QString& name) { return files_.filePath(name); }
    QString shownText() { return QString::fromStdString(player().propertyText(mpv::kSubtitleText)); }

    void write(const QString& name, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        test::spit(path(name).toStdString(), bytes.toStdString());
    }

    // English and Japanese sound (the second titled Commentary) and English subtitles inside.
    QString movie(const QString& name, double seconds, bool japaneseFirst = false) {
        const QString inside = QFileInfo(name).path() + "/inside.srt";  // named after no movie
        write(inside, srt("Inside"));
        test::makeMovie(path(name),
                        QString("-f lavfi -i testsrc2=size=320x180:rate=25 -f lavfi -i sine=frequency=440 "
                                "-f lavfi -i sine=frequency=880 -i %1 -t %2 -map 0:v -map 1:a -map 2:a "
                                "-map 3:s -c:v mpeg4 -c:a aac -ac 2 -c:s mov_text "
                                "-metadata:s:a:0 language=%3 -metadata:s:a:1 language=%4 "
                                "-metadata:s:a:1 handler_name=Commentary -metadata:s:s:0 language=eng")
                            .arg(path(inside), QString::number(seconds), japaneseFirst ? "jpn" : "eng",
                                 japaneseFirst ? "eng" : "jpn")
                            .split(' '));
        return path(name);
    }

    // The files beside the movie are all listed once a sound track has been chosen.
    void waitForTracks(std::size_t count) {
        QTRY_VERIFY_WITH_TIMEOUT(player().tracks().size() >= count && selected(kAudio) != 0, 8000);
    }
    long selected(TrackInfo::Kind kind) {
        for (const TrackInfo& t : player().tracks())
            if (t.kind == kind && t.selected) return t.id;
        return 0;
    }
    long id(TrackInfo::Kind kind, const std::string& language) {
        for (const TrackInfo& t : player().tracks())
            if (t.kind == kind && t.language == language) return t.id;
        return -1;
    }
    bool drop(const QStringList& files) {
        QMimeData data;
        for (const QString& file : files) data.setUrls(data.urls() << QUrl::fromLocalFile(path(file)));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(c().view()->widget(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        if (enter.isAccepted()) QApplication::sendEvent(c().view()->widget(), &drop);
        return enter.isAccepted();
    }

private slots:
    void initTestCase() { qputenv("REEL_MPV_OPTIONS", "vo=null,ao=null"); }

    // The panel lists what plays; files loaded or dropped while it plays join without a restart.
    void findsChoosesAndAddsTracks() {
        const QString film = movie("Film/film.mp4", 10);
        write("Film/film.ru.srt", srt(cp1251(kRussian)));
        write("Film/Subs/film.de.srt", srt("Hallo"));
        write("elsewhere/late.es.srt", srt("Hola"));
        write("elsewhere/dropped.it.srt", srt("Ciao"));
        TrackPreferences preferences;
        preferences.languages = {{"ja"}, {"ru", "en"}, ShowSubtitles::Always};
        c().trackMenus().setPreferences(preferences);
        add({film});
        c().selectRow(0);
        c().showSelectedEntryInfo();
        const QString panel = ui().tracksField->text();
        QCOMPARE(panel.count('\n') + 1, 5);
        QVERIFY2(panel.contains("Audio: Japanese \u2014 Commentary (AAC stereo)"), qPrintable(panel));
        QVERIFY2(panel.contains("Subtitles: Russian (SubRip, external)"), qPrintable(panel));

        viewRow(0);
        waitForTracks(5);
        QTRY_COMPARE(ui().subtitleMenu->actions().size(), 4);  // the tracks, and Off
        QTRY_COMPARE(selected(kAudio), id(kAudio, "jpn"));
        QTRY_COMPARE(selected(kSubtitle), id(kSubtitle, "ru"));
        QTRY_COMPARE_WITH_TIMEOUT(shownText(), kRussian, 8000);

        QTRY_VERIFY_WITH_TIMEOUT(player().position() > 0.5, 5000);  // past the start's own restart
        QSignalSpy restarts(&player(), &platform::MpvPlayer::playbackRestarted);
        QVERIFY(c().trackMenus().addSubtitleFile(path("elsewhere/late.es.srt")));
        QTRY_COMPARE(shownText(), QString("Hola"));
        QVERIFY(drop({"elsewhere/dropped.it.srt", "Film/film.mp4"}));
        QTRY_COMPARE(shownText(), QString("Ciao"));
        QTRY_COMPARE(player().tracks().size(), 7u);
        QCOMPARE(restarts.count(), 0);
        QVERIFY(!drop({"Film/film.mp4"}));  // not subtitles: not taken

        // 16:9 in full screen on a 5:4 screen: the player letterboxes, bands included, or the picture alone.
        for (bool bands : {true, false}) {
            preferences.subtitlesInBands = bands;
            c().trackMenus().setPreferences(preferences);
            c().fullScreen();
            const QSize screen = c().fullscreenWindow()->size();
            QCOMPARE(c().view()->widget()->size(),
                     bands ? screen : QSize(screen.width(), screen.width() * 9 / 16));
            c().fullScreen();
        }
    }

    // A change of track neither restarts nor moves the movie; the next episode keeps its languages
    // and plays on past the subtitle files beside it that are broken.
    void choicesHoldInPlaceAndCarryOn() {
        const QString one = movie("Series/ep1.mp4", 8), two = movie("Series/ep2.mp4", 8, true);
        write("Series/ep1.fr.srt", srt("Bonjour"));
        QByteArray garbage(64 * 1024, '\0');
        for (int i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919 + 13) % 251);
        write("Series/ep2.garbage.srt", garbage);
        write("Series/ep2.unclosed.ass",
              "[Script Info\nTitle: never closed\n[Events\nFormat: Layer, Start\nDialogue: 0,0:00:00.00");
        write("Series/ep2.noise.srt", QByteArray("\xff\xfe\xfd 1\n-->\n\x80\x81 --> \n", 16).repeated(2000));
        add({one, two});
        viewRow(0);
        waitForTracks(4);
        QTRY_VERIFY_WITH_TIMEOUT(player().position() > 1.0, 5000);
        QSignalSpy restarts(&player(), &platform::MpvPlayer::playbackRestarted);
        const double before = player().position();
        c().trackMenus().choose(kAudio, id(kAudio, "jpn"));
        c().trackMenus().choose(kSubtitle, id(kSubtitle, "eng"));
        QTRY_COMPARE(selected(kAudio), id(kAudio, "jpn"));
        QTRY_COMPARE(selected(kSubtitle), id(kSubtitle, "eng"));
        QVERIFY(player().position() >= before && player().position() < before + 1.5);
        for (long expected : {id(kSubtitle, "fr"), 0L, id(kSubtitle, "eng")}) {
            c().trackMenus().cycle(kSubtitle);
            QTRY_COMPARE(selected(kSubtitle), expected);
        }
        for (const char* language : {"eng", "jpn"}) {
            c().trackMenus().cycle(kAudio);
            QTRY_COMPARE(selected(kAudio), id(kAudio, language));
        }
        QCOMPARE(restarts.count(), 0);

        QTRY_COMPARE_WITH_TIMEOUT(ui().cNameField->text(), QString("ep2"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(player().propertyText(mpv::kPath) == two.toStdString(), 8000);
        waitForTracks(3);
        QTRY_COMPARE(selected(kAudio), id(kAudio, "jpn"));  // the language carried on, not the number
        QTRY_COMPARE(selected(kSubtitle), id(kSubtitle, "eng"));
        c().trackMenus().cycle(kSubtitle);  // on to what mpv could make of the broken files
        c().trackMenus().cycle(kSubtitle);
        const double at = player().position();
        QTRY_VERIFY_WITH_TIMEOUT(player().position() > at + 0.5, 5000);
        QVERIFY(!c().trackMenus().addSubtitleFile(path("Series/ep2.garbage.srt")));
        QVERIFY(!c().trackMenus().addSubtitleFile(path("Series/missing.srt")));
    }

    // Kept beside the volume; what is not understood reads as the default.
    void preferencesAreEditedAndKept() {
        TrackPreferences chosen;
        chosen.languages = {{"ja", "en"}, {"en"}, ShowSubtitles::Never};
        chosen.subtitlesInBands = false;
        PreferencesDialog dialog;
        dialog.setTrackPreferences(chosen);
        QCOMPARE(dialog.trackPreferences(), chosen);

        const std::string ini = config_.filePath("reel/reel.ini").toStdString();
        test::spit(ini, "[General]\nVolumeLevel=0.3\n");
        c().trackMenus().setPreferences(chosen);
        QCOMPARE(TrackPreferences::load(), chosen);
        QCOMPARE(QSettings(QString::fromStdString(ini), QSettings::IniFormat).value("VolumeLevel"), "0.3");
        const std::string typed = "[General]\nAudioLanguages=fr de\nSubtitlesInBands=1\nShowSubtitles=";
        for (const char* show : {"ALWAYS", "sometimes"}) {  // in any case; not understood, the default
            test::spit(ini, typed + show);
            const TrackPreferences read = TrackPreferences::load();
            QCOMPARE(read.languages.audio, (std::vector<std::string>{"fr", "de"}));
            QCOMPARE(read.languages.show,
                     show[0] == 'A' ? ShowSubtitles::Always : ShowSubtitles::WhenForeign);
            QVERIFY(read.subtitlesInBands);
        }
    }
};

QTEST_MAIN(SubtitlesTest)
#include "test_subtitles.moc"
