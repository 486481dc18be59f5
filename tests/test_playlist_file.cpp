// Playlist files read and written: the formats, odd names, hostile bytes.

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "media/playlist_file.h"

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
    void readsEachFormat_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<double>>("seconds");

        QTest::newRow("m3u8 with info, comments, blanks")
            << QByteArray(
                   "#EXTM3U\n#EXTINF:125,First Movie\none.mp4\n\n# a note\nsub/../two.avi\n"
                   "#EXTINF:-1 tvg-id=\"x\",Stream, with comma\nhttp://example.org/live.mp4\n")
            << QStringList{"/pl/one.mp4", "/pl/two.avi", "http://example.org/live.mp4"}
            << QStringList{"First Movie", "", "Stream, with comma"} << QList<double>{125, -1, -1};
        QTest::newRow("absolute paths and file URLs, percent-decoded")
            << QByteArray("/movies/a b.mov\nfile:///movies/c%20d%23e.mp4\nfile:/movies/f.mpg\n")
            << QStringList{"/movies/a b.mov", "/movies/c d#e.mp4", "/movies/f.mpg"} << QStringList{"", "", ""}
            << QList<double>{-1, -1, -1};
        QTest::newRow("CRLF, a BOM, old Mac CR")
            << QByteArray("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:7,Seven\r\nseven.mp4\r\neight.mp4\rnine.mp4")
            << QStringList{"/pl/seven.mp4", "/pl/eight.mp4", "/pl/nine.mp4"} << QStringList{"Seven", "", ""}
            << QList<double>{7, -1, -1};
        QTest::newRow("pls out of order, with gaps and odd case")
            << QByteArray(
                   "[playlist]\nFile3=c.mp4\nfile1=/abs/a.mp4\nTitle1=Ay\nLength1=61\n"
                   "Title3=See\nNumberOfEntries=2\nVersion=2\n")
            << QStringList{"/abs/a.mp4", "/pl/c.mp4"} << QStringList{"Ay", "See"} << QList<double>{61, -1};
        QTest::newRow("xspf, relative and absolute locations")
            << QByteArray(
                   "<?xml version=\"1.0\"?>\n<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                   "<trackList><track><location>sub/x%20y.mp4</location><title>XY</title>"
                   "<duration>90500</duration></track><track><location>file:///m/z.mov</location>"
                   "</track></trackList></playlist>")
            << QStringList{"/pl/sub/x y.mp4", "/m/z.mov"} << QStringList{"XY", ""} << QList<double>{90.5, -1};
        QTest::newRow("the content decides, not the name")
            << QByteArray("  [playlist]\nFile1=q.mp4\n") << QStringList{"/pl/q.mp4"} << QStringList{""}
            << QList<double>{-1};
    }
    void readsEachFormat() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, titles);
        QFETCH(QList<double>, seconds);
        const PlaylistContents contents = parsePlaylist(bytes, "/pl");
        QVERIFY(contents.readable);
        QCOMPARE(locations(contents), expected);
        for (std::size_t i = 0; i < contents.lines.size(); ++i) {
            QCOMPARE(contents.lines[i].title, titles[qsizetype(i)]);
            QCOMPARE(contents.lines[i].seconds, seconds[qsizetype(i)]);
        }
    }

    void latin1LinesAreReadAndReported() {
        const QByteArray bytes = "caf\xE9.mp4\nna\xC3\xAFve.mp4\n";  // Latin-1, then UTF-8
        const PlaylistContents contents = parsePlaylist(bytes, "/pl");
        QCOMPARE(locations(contents),
                 (QStringList{QString::fromUtf8("/pl/café.mp4"), QString::fromUtf8("/pl/naïve.mp4")}));
        QCOMPARE(contents.problems.size(), 1);
        QVERIFY(contents.problems[0].contains("line 1") && contents.problems[0].contains("Latin-1"));
    }

    void utf16IsReadAsText() {
        QByteArray bytes("\xFF\xFE", 2);
        const QString text = "#EXTM3U\nfilm.mp4\n";
        bytes += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        QCOMPARE(locations(parsePlaylist(bytes, "/pl")), QStringList{"/pl/film.mp4"});
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
    }

    void hundredThousandLines() {
        QByteArray bytes = "#EXTM3U\n";
        for (int i = 0; i < 100000; ++i) bytes += "#EXTINF:1,t\nm" + QByteArray::number(i) + ".mp4\n";
        const PlaylistContents contents = parsePlaylist(bytes, "/pl");
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

    void savedFilesReadBackAsTheyWere_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("m3u8") << "list.m3u8";
        QTest::newRow("m3u") << "list.m3u";
        QTest::newRow("xspf") << "list.xspf";
        QTest::newRow("pls") << "list.pls";
        QTest::newRow("no extension: m3u8") << "list";
    }
    void savedFilesReadBackAsTheyWere() {
        QFETCH(QString, name);
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
        const QString path = dir.filePath(name);
        QString whyNot;
        QVERIFY2(writePlaylistFile(path, lines, &whyNot), qPrintable(whyNot));
        const PlaylistContents back = readPlaylistFile(path);
        QVERIFY(back.readable);
        QVERIFY2(back.problems.isEmpty(), qPrintable(back.problems.join('\n')));
        QCOMPARE(back.lines.size(), lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            QCOMPARE(back.lines[i].location, lines[i].location);
            QCOMPARE(back.lines[i].title, QString(lines[i].title).replace('\n', ' '));
            QCOMPARE(back.lines[i].seconds, lines[i].seconds);
        }
        // Movies under the playlist's folder are named relative to it, others not.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(!text.contains(folder.toUtf8() + "/plain.mp4"));
        QVERIFY(text.contains("plain.mp4"));
        QVERIFY(text.contains("outside.mpg"));
        if (playlistFormatFor(path) == PlaylistFormat::M3U8) {
            QVERIFY(text.startsWith("#EXTM3U\n#EXTINF:12,Plain\nplain.mp4\n"));
            QVERIFY(text.contains("\n/elsewhere/outside.mpg\n"));
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
