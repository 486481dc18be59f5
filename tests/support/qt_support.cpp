#include "support/qt_support.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "app/playlist_intake.h"
#include "app/preferences_dialog.h"
#include "platform/log.h"
#include "transport/fader.h"

namespace reel::test {

QString media(const QString& name) { return qEnvironmentVariable("REEL_TEST_MEDIA") + "/" + name; }

QString makeMovie(const QString& path, const QStringList& encode) {
    if (QFile::exists(path)) return path;
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + encode +
                               QStringList{path});
    ffmpeg.waitForFinished(120000);
    return path;
}

QString makeClip(const QString& path, double seconds, const QStringList& more) {
    return makeMovie(
        path, QStringList{"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-f", "lavfi", "-i", "sine",
                          "-t", QString::number(seconds), "-c:v", "mpeg4", "-c:a", "aac"} +
                  more);
}

bool expire(QTimer& timer) {
    if (!timer.isActive()) return false;
    if (timer.isSingleShot()) timer.stop();
    // timeout() is private to QTimer; invoking it by name is what a timer event does.
    return QMetaObject::invokeMethod(&timer, "timeout");
}

int runOut(Fader& fader) {
    int steps = 0;
    while (steps < 100 && expire(fader.timer())) ++steps;
    return steps;
}

InterfaceTest::InterfaceTest(MovieViewFactory makeView) : makeView_(std::move(makeView)) {
    qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    platform::setLogEnabled(false);
}

void InterfaceTest::relaunch() {
    interface_.reset();
    interface_ = std::make_unique<Interface>(makeView_);
}

void InterfaceTest::cleanup() {
    interface_.reset();
    QFile::remove(config_.filePath("reel/reel.ini"));
}

QString InterfaceTest::copy(const QString& name, const QString& from) {
    const QString path = files_.filePath(name);
    QFile::remove(path);
    QFile::copy(media(from), path);
    return path;
}

QString InterfaceTest::make(const QString& name, const QStringList& encode) {
    return makeMovie(files_.filePath(name), encode);
}

void InterfaceTest::add(const QStringList& paths) {
    c().openPanelDidEnd(paths, true);
    c().intake().finish();
}

void InterfaceTest::viewRow(int row) {
    c().selectRow(row);
    c().showSelectedEntryInfo();
    c().viewItem();
}

void InterfaceTest::post(FastCommand command) { emit interface_->messages().fast(command); }

QStringList InterfaceTest::names() {
    QStringList list;
    for (const EntryRecord& e : c().objects()) list << QString::fromStdString(e.name);
    return list;
}

void InterfaceTest::open(const QString& playlist) {
    c().openPlaylistFile(playlist);
    c().intake().finish();
}

void InterfaceTest::tickPreference(const char* box) {
    ui().mainWindow->findChild<QAction*>("actionPreferences")->trigger();
    auto* dialog = ui().mainWindow->findChild<PreferencesDialog*>();
    QVERIFY(dialog);
    auto* tick = dialog->findChild<QCheckBox*>(box);
    QVERIFY2(tick && !tick->isChecked(), box);
    tick->setChecked(true);
    dialog->accept();
}

}  // namespace reel::test
