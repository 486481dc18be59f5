// Paths as bytes: in from the command line, drops and the dialog's text, out as text to show.

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <string>

#include "platform/file_names.h"

using namespace reel;

const QChar kReplacement(QChar::ReplacementCharacter);

class FileNamesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void absolutePathsAreCleanedLexically() {
        QVERIFY(QDir::setCurrent(dir_.path()));
        const std::string here = QDir::currentPath().toStdString();
        const struct {
            std::string given, folder, wanted;  // no folder: the working one
        } cases[] = {
            {"sub//./a.mp4", "", here + "/sub/a.mp4"},
            {"sub/../a\xff\n.mp4", "", here + "/a\xff\n.mp4"},
            {"/x/y/../../../a.mp4", "", "/a.mp4"},  // no higher than the root
            {"/", "", "/"},
            {"", "", ""},
            {"x.mpg", "/", "/x.mpg"},
            {"trailing/", "/w", "/w/trailing"},
            {"..", "/w/x", "/w"},
        };
        for (const auto& c : cases) QCOMPARE(platform::absolutePath(c.given, c.folder), c.wanted);
    }

    void dropsKeepBytesThatAreNotUtf8() {
        const struct {
            const char* url;
            std::optional<std::string> wanted;
        } cases[] = {
            {"file:///tmp/a%FFb%0A.mp4", std::string("/tmp/a\xff\x62\n.mp4")},
            {"file:///tmp/50%25%23.mp4", std::string("/tmp/50%#.mp4")},
            {"file://localhost/tmp/a.mp4", std::string("/tmp/a.mp4")},
            {"file://server/share/a.mp4", std::string("//server/share/a.mp4")},
            {"https://example.org/a.mp4", std::nullopt},
        };
        for (const auto& c : cases) QCOMPARE(platform::localPath(QUrl(QString::fromLatin1(c.url))), c.wanted);
        // A name made into a URL by Qt itself comes back as it was.
        const QString plain = QString::fromUtf8("/tmp/é #1?.mp4");
        QCOMPARE(platform::localPath(QUrl::fromLocalFile(plain)), std::optional(plain.toStdString()));
    }

    void strayBytesShowAsReplacementCharacters() {
        const struct {
            std::string path;
            QString shown;
        } cases[] = {
            {"/m/caf\xc3\xa9.mp4", QString::fromUtf8("/m/café.mp4")},
            {"/m/a\xff\x62.mp4", QString("/m/a%1b.mp4").arg(kReplacement)},
            {"/m/\xe2\x82.mp4", QString("/m/%1%1.mp4").arg(kReplacement)},        // cut short
            {"/m/\xc0\xaf.mp4", QString("/m/%1%1.mp4").arg(kReplacement)},        // overlong '/'
            {"/m/\xed\xa0\x80.mp4", QString("/m/%1%1%1.mp4").arg(kReplacement)},  // a surrogate
            {"/m/\xf0\x9f\x8e\xac.mp4", QString::fromUtf8("/m/🎬.mp4")},
        };
        for (const auto& c : cases) QCOMPARE(platform::displayText(c.path), c.shown);
    }
};

QTEST_MAIN(FileNamesTest)
#include "test_file_names.moc"
