// Playlist files read and written: the formats, odd names, hostile bytes.

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "media/playlist_file.h"
#include "support/media.h"

using namespace reel;

namespace {

// Each line as "location|title|seconds".
QStringList summary(const std::vector<PlaylistLine>& lines) {
    QStringList out;
    for (const PlaylistLine& line : lines)
        out << QString("%1|%2|%3").arg(line.location, line.title).arg(line.seconds);
    return out;
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
            QStringList lines;
        } cases[] = {
            {"m3u8 with info, comments, blanks",
             "#EXTM3U\n#EXTINF:125,First Movie\none.mp4\n\n# a note\nsub/../two.avi\n"
             "#EXTINF:-1 tvg-id=\"x\",Stream, with comma\nhttp://example.org/live.mp4\n",
             {"/pl/one.mp4|First Movie|125", "/pl/two.avi||-1",
              "http://example.org/live.mp4|Stream, with comma|-1"}},
            {"absolute paths and file URLs, percent-decoded, an old Mac CR",
             "/movies/a b.mov\rfile:///movies/c%20d%23e.mp4\nfile:/movies/f.mpg\n",
             {"/movies/a b.mov||-1", "/movies/c d#e.mp4||-1", "/movies/f.mpg||-1"}},
            {"pls out of order, with gaps and odd case",
             "[playlist]\nFile3=c.mp4\nfile1=/abs/"
             "a.mp4\nTitle1=Ay\nLength1=61\nTitle3=See\nNumberOfEntries=2\n",
             {"/abs/a.mp4|Ay|61", "/pl/c.mp4|See|-1"}},
            {"xspf, relative and absolute locations",
             "<?xml version=\"1.0\"?>\n<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
             "<trackList><track><location>sub/x%20y.mp4</location><title>XY</title>"
             "<duration>90500</duration></track><track><location>file:///m/z.mov</location>"
             "</track></trackList></playlist>",
             {"/pl/sub/x y.mp4|XY|90.5", "/m/z.mov||-1"}},
            {"the content decides, not the name", "  [playlist]\nFile1=q.mp4\n", {"/pl/q.mp4||-1"}},
            {"Latin-1, then UTF-8",
             "caf\xE9.mp4\nna\xC3\xAFve.mp4\n",
             {QString::fromUtf8("/pl/café.mp4||-1"), QString::fromUtf8("/pl/naïve.mp4||-1")}},
            {"UTF-16", utf16, {"/pl/film.mp4||-1"}},
        };
        for (const auto& test : cases) {
            const PlaylistContents contents = parsePlaylist(test.bytes, "/pl");
            QVERIFY2(contents.readable, test.what);
            QVERIFY2(summary(contents.lines) == test.lines,
                     qPrintable(test.what + (": " + summary(contents.lines).join(' '))));
        }
    }

    // The parser's own limits; garbage, Latin-1 and overlong lines are logged through the intake.
    void brokenAndHugeListsKeepWhatCanBeRead() {
        // Broken XML keeps the tracks read before the break.
        PlaylistContents contents = parsePlaylist(
            "<?xml version=\"1.0\"?><playlist><trackList><track><location>a.mp4</location>"
            "</track><track><location>b.mp4</loc",
            "/pl");
        QCOMPARE(summary(contents.lines), QStringList{"/pl/a.mp4||-1"});
        QVERIFY(contents.problems.join("\n").contains("XML"));

        // So many problems are counted, not each told.
        QByteArray latin;
        for (int i = 0; i < 500; ++i) latin += "f\xE9" + QByteArray::number(i) + ".mp4\n";
        contents = parsePlaylist(latin, "/pl");
        QCOMPARE(contents.lines.size(), 500u);
        QVERIFY(contents.problems.size() <= 21);
        QVERIFY(contents.problems.join("\n").contains("480 more lines: not UTF-8"));

        QByteArray many = "#EXTM3U\n";
        for (int i = 0; i < 100000; ++i) many += "#EXTINF:1,t\nm" + QByteArray::number(i) + ".mp4\n";
        contents = parsePlaylist(many, "/pl");
        QCOMPARE(contents.lines.size(), 100000u);
        QCOMPARE(contents.lines.back().location, QString("/pl/m99999.mp4"));

        QTemporaryDir dir;
        QVERIFY(!readPlaylistFile(dir.filePath("none.m3u")).readable);
        QVERIFY(!readPlaylistFile(dir.path()).readable);
        // Larger than any playlist: refused without being read (the file is sparse).
        QFile huge(dir.filePath("huge.m3u"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(kLargestPlaylistBytes + 1));
        huge.close();
        contents = readPlaylistFile(huge.fileName());
        QVERIFY(!contents.readable && contents.problems.join("\n").contains("too large"));
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
        QStringList expected = summary(lines);
        expected[4] = folder + "/line\nbreak.mp4|two lines|1";  // a title is one line
        QString whyNot;
        QVERIFY(!writePlaylistFile(dir.filePath("missing/folder/list.m3u8"), lines, &whyNot));
        QVERIFY(!whyNot.isEmpty());
        for (const QString name : {"list.m3u8", "list.m3u", "list.xspf", "list.pls", "list"}) {
            const QString path = dir.filePath(name);  // no extension: M3U8
            QVERIFY(writePlaylistFile(path, {{"/old.mp4", "Replaced whole", 1}}, nullptr));
            QVERIFY2(writePlaylistFile(path, lines, &whyNot), qPrintable(whyNot));
            const PlaylistContents back = readPlaylistFile(path);
            QVERIFY2(back.readable && back.problems.isEmpty(),
                     qPrintable(name + ": " + back.problems.join('\n')));
            QCOMPARE(summary(back.lines), expected);
            // Movies under the playlist's folder are named relative to it, others not.
            const QByteArray text = QByteArray::fromStdString(test::slurp(path.toStdString()));
            QVERIFY(!text.contains(folder.toUtf8() + "/plain.mp4"));
            if (playlistFormatFor(path) == PlaylistFormat::M3U8) {
                QVERIFY(text.startsWith("#EXTM3U\n#EXTINF:12,Plain\nplain.mp4\n"));
                QVERIFY(text.contains("\n/elsewhere/outside.mpg\n"));
            }
        }
    }
};

QTEST_GUILESS_MAIN(PlaylistFileTest)
#include "test_playlist_file.moc"
