// Playlist files read and written: the formats, odd names, hostile bytes.

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "media/playlist_file.h"
#include "support/media.h"

using namespace reel;

namespace {

QStringList locations(const PlaylistContents& contents) {
    QStringList out;
    for (const PlaylistLine& line : contents.lines) out << line.location;
    return out;
}

bool mentions(const QStringList& problems, const QString& what) {
    for (const QString& problem : problems) {
        if (problem.contains(what)) return true;
    }
    return false;
}

}  // namespace

class PlaylistFileTest : public QObject {
    Q_OBJECT

private slots:
    void readsEachFormat() {
        QByteArray utf16("\xFF\xFE", 2);
        const QString text = "#EXTM3U\nfilm.mp4\n";
        utf16 += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        const struct {
            const char* what;
            QByteArray bytes;
            QStringList locations, titles = {};
            QList<double> seconds = {};
        } cases[] = {
            {"m3u8 with info, comments, blanks",
             "#EXTM3U\n#EXTINF:125,First Movie\none.mp4\n\n# a note\nsub/../two.avi\n"
             "#EXTINF:-1 tvg-id=\"x\",Stream, with comma\nhttp://example.org/live.mp4\n",
             {"/pl/one.mp4", "/pl/two.avi", "http://example.org/live.mp4"},
             {"First Movie", "", "Stream, with comma"},
             {125, -1, -1}},
            {"absolute paths and file URLs, percent-decoded",
             "/movies/a b.mov\nfile:///movies/c%20d%23e.mp4\nfile:/movies/f.mpg\n",
             {"/movies/a b.mov", "/movies/c d#e.mp4", "/movies/f.mpg"}},
            {"CRLF, a BOM, old Mac CR",
             "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:7,Seven\r\nseven.mp4\r\neight.mp4\rnine.mp4",
             {"/pl/seven.mp4", "/pl/eight.mp4", "/pl/nine.mp4"},
             {"Seven", "", ""},
             {7, -1, -1}},
            {"pls out of order, with gaps and odd case",
             "[playlist]\nFile3=c.mp4\nfile1=/abs/"
             "a.mp4\nTitle1=Ay\nLength1=61\nTitle3=See\nNumberOfEntries=2\n",
             {"/abs/a.mp4", "/pl/c.mp4"},
             {"Ay", "See"},
             {61, -1}},
            {"xspf, relative and absolute locations",
             "<?xml version=\"1.0\"?>\n<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
             "<trackList><track><location>sub/x%20y.mp4</location><title>XY</title>"
             "<duration>90500</duration></track><track><location>file:///m/z.mov</location>"
             "</track></trackList></playlist>",
             {"/pl/sub/x y.mp4", "/m/z.mov"},
             {"XY", ""},
             {90.5, -1}},
            {"the content decides, not the name", "  [playlist]\nFile1=q.mp4\n", {"/pl/q.mp4"}},
            {"Latin-1, then UTF-8",
             "caf\xE9.mp4\nna\xC3\xAFve.mp4\n",
             {QString::fromUtf8("/pl/café.mp4"), QString::fromUtf8("/pl/naïve.mp4")}},
            {"UTF-16", utf16, {"/pl/film.mp4"}},
        };
        for (const auto& test : cases) {
            const PlaylistContents contents = parsePlaylist(test.bytes, "/pl");
            QVERIFY2(contents.readable, test.what);
            QVERIFY2(locations(contents) == test.locations,
                     qPrintable(test.what + (": " + locations(contents).join('|'))));
            for (std::size_t i = 0; i < contents.lines.size() && !test.titles.isEmpty(); ++i) {
                QCOMPARE(contents.lines[i].title, test.titles[qsizetype(i)]);
                QCOMPARE(contents.lines[i].seconds, test.seconds[qsizetype(i)]);
            }
        }
    }

    void hostileBytesAreRefusedOrReported() {
        // Binary garbage is no playlist at all.
        QRandomGenerator random(11);
        QByteArray garbage(1 << 20, Qt::Uninitialized);
        for (char& c : garbage) c = char(random.bounded(256));
        PlaylistContents contents = parsePlaylist(garbage, "/pl");
        QVERIFY(!contents.readable);
        QVERIFY(contents.lines.empty());
        QVERIFY(mentions(contents.problems, "binary"));

        // A Latin-1 line is read, and told.
        contents = parsePlaylist("ok.mp4\ncaf\xE9.mp4\n", "/pl");
        QCOMPARE(contents.problems.size(), 1);
        QVERIFY(contents.problems[0].contains("line 2") && contents.problems[0].contains("Latin-1"));

        // A 10,000-character line is kept, and told.
        const QByteArray longName = "/x/" + QByteArray(10000, 'a') + ".mp4";
        contents = parsePlaylist("ok.mp4\n" + longName + "\nafter.mp4\n", "/pl");
        QCOMPARE(contents.lines.size(), 3u);
        QCOMPARE(contents.lines[1].location.size(), longName.size());
        QVERIFY(mentions(contents.problems, "line 2"));

        // Broken XML keeps the tracks read before the break.
        contents = parsePlaylist(
            "<?xml version=\"1.0\"?><playlist><trackList><track><location>a.mp4</location>"
            "</track><track><location>b.mp4</loc",
            "/pl");
        QCOMPARE(locations(contents), QStringList{"/pl/a.mp4"});
        QVERIFY(mentions(contents.problems, "XML"));

        // So many problems are counted, not each told.
        QByteArray latin;
        for (int i = 0; i < 500; ++i) latin += "f\xE9" + QByteArray::number(i) + ".mp4\n";
        contents = parsePlaylist(latin, "/pl");
        QCOMPARE(contents.lines.size(), 500u);
        QVERIFY(contents.problems.size() <= 21);
        QVERIFY(mentions(contents.problems, "480 more lines: not UTF-8"));

        // 100,000 lines are all read.
        QByteArray many = "#EXTM3U\n";
        for (int i = 0; i < 100000; ++i) many += "#EXTINF:1,t\nm" + QByteArray::number(i) + ".mp4\n";
        contents = parsePlaylist(many, "/pl");
        QCOMPARE(contents.lines.size(), 100000u);
        QCOMPARE(contents.lines.back().location, QString("/pl/m99999.mp4"));
    }

    void filesThatAreNoPlaylist() {
        QTemporaryDir dir;
        QVERIFY(!readPlaylistFile(dir.filePath("none.m3u")).readable);
        QVERIFY(!readPlaylistFile(dir.path()).readable);
        // Larger than any playlist: refused without being read (the file is sparse).
        QFile huge(dir.filePath("huge.m3u"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(kLargestPlaylistBytes + 1));
        huge.close();
        const PlaylistContents contents = readPlaylistFile(huge.fileName());
        QVERIFY(!contents.readable);
        QVERIFY(mentions(contents.problems, "too large"));
    }

    void savedFilesReadBackAsTheyWere() {
        QTemporaryDir dir;
        const QString folder = dir.path();
        const std::vector<PlaylistLine> lines = {
            {folder + "/plain.mp4", "Plain", 12},
            {folder + "/sub dir/été ünï.mov", QString::fromUtf8("Été"), -1},
            {folder + "/#hash.mp4", "", 3},
            {folder + "/ leading blank.avi", "x", -1},
            {folder + "/line\nbreak.mp4", "two\nlines", 1},
            {folder + "/a:/b.mp4", "", -1},
            {folder + "/file:c.mp4", "", -1},
            {"/elsewhere/outside.mpg", "Out, side", 3600},
            {"http://example.org/stream.mp4?a=1&b=2", "Stream", -1},
            {folder + "/" + QString(300, QChar(0x263A)) + ".mp4", "", -1},
        };
        for (const QString name : {"list.m3u8", "list.m3u", "list.xspf", "list.pls", "list"}) {
            const QString path = dir.filePath(name);  // no extension: M3U8
            QString whyNot;
            QVERIFY2(writePlaylistFile(path, lines, &whyNot), qPrintable(whyNot));
            const PlaylistContents back = readPlaylistFile(path);
            QVERIFY2(back.readable && back.problems.isEmpty(),
                     qPrintable(name + ": " + back.problems.join('\n')));
            QCOMPARE(back.lines.size(), lines.size());
            for (std::size_t i = 0; i < lines.size(); ++i) {
                QCOMPARE(back.lines[i].location, lines[i].location);
                QCOMPARE(back.lines[i].title, QString(lines[i].title).replace('\n', ' '));
                QCOMPARE(back.lines[i].seconds, lines[i].seconds);
            }
            // Movies under the playlist's folder are named relative to it, others not.
            const QByteArray text = QByteArray::fromStdString(test::slurp(path.toStdString()));
            QVERIFY(!text.contains(folder.toUtf8() + "/plain.mp4"));
            if (playlistFormatFor(path) == PlaylistFormat::M3U8) {
                QVERIFY(text.startsWith("#EXTM3U\n#EXTINF:12,Plain\nplain.mp4\n"));
                QVERIFY(text.contains("\n/elsewhere/outside.mpg\n"));
            }
        }
    }

    void savingOverAnUnwritablePlaceFailsCleanly() {
        QTemporaryDir dir;
        QString whyNot;
        QVERIFY(!writePlaylistFile(dir.filePath("missing/folder/list.m3u8"), {{"/a.mp4", "", -1}}, &whyNot));
        QVERIFY(!whyNot.isEmpty());
        // An old playlist is replaced whole or left as it was.
        const QString path = dir.filePath("old.m3u8");
        QVERIFY(writePlaylistFile(path, {{"/a.mp4", "", -1}}, nullptr));
        QVERIFY(writePlaylistFile(path, {{"/b.mp4", "", -1}, {"/c.mp4", "", -1}}, nullptr));
        QCOMPARE(locations(readPlaylistFile(path)), (QStringList{"/b.mp4", "/c.mp4"}));
    }
};

QTEST_GUILESS_MAIN(PlaylistFileTest)
#include "test_playlist_file.moc"
