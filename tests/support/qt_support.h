#pragma once

// What the window tests share: the test media, movies made by the ffmpeg
// command line, timers fired rather than waited for, and a loaded interface
// on a configuration folder of its own, made anew for each test function.

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/app_controller.h"
#include "app/interface.h"
#include "support/fake_movie_view.h"

class QTimer;

namespace reel {
class Fader;
}

namespace reel::test {

QString media(const QString& name);
// Encodes the file with ffmpeg's inputs and options as given, unless it is there already.
QString makeMovie(const QString& path, const QStringList& encode);
// The suites' everyday clip: 160x120 MPEG-4 picture and AAC sound, of the given length.
QString makeClip(const QString& path, double seconds, const QStringList& more = {});
// Does now what the timer does when its time is up; false if it was not running.
bool expire(QTimer& timer);
// Steps the running fade to its end; says how many steps it took.
int runOut(Fader& fader);

class InterfaceTest : public QObject {
    Q_OBJECT
public:
    explicit InterfaceTest(MovieViewFactory makeView = {});

protected:
    AppController& c() { return interface_->controller(); }
    const Outlets& ui() { return c().outlets(); }
    Interface& interface() { return *interface_; }
    // The interface as the next run of the player loads it.
    void relaunch();
    // A copy of a test medium under the given name.
    QString copy(const QString& name, const QString& from = "mpeg4_mp3.mp4");
    QString make(const QString& name, const QStringList& encode);
    // As the open panel adds them, waiting for the last.
    void add(const QStringList& paths);
    // As a click on the row and View would.
    void viewRow(int row);
    void post(FastCommand command);
    // The entries' file names, in the playlist's order.
    QStringList names();
    // As File > Open Playlist… does, waiting for its last line.
    void open(const QString& playlist);
    // Ticks a box of Edit > Preferences… that was not ticked, and presses OK.
    void tickPreference(const char* box);

    QTemporaryDir config_, files_;

private slots:
    void init() { relaunch(); }
    void cleanup();

private:
    MovieViewFactory makeView_;
    std::unique_ptr<Interface> interface_;
};

// The interface fixture with a view that plays nothing in place of the real one.
class FakeViewTest : public InterfaceTest {
public:
    FakeViewTest() : InterfaceTest([] { return std::make_unique<fake::MovieView>(); }) {}

protected:
    fake::MovieView& view() { return *static_cast<fake::MovieView*>(c().view()); }
};

// The fake-view fixture with an empty folder, new for each test function, for what the player keeps.
class KeptStateTest : public FakeViewTest {
    Q_OBJECT

protected:
    std::unique_ptr<QTemporaryDir> state_;

private slots:
    void init() {
        state_ = std::make_unique<QTemporaryDir>();
        relaunch();
    }
};

}  // namespace reel::test
