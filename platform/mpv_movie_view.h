#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "platform/movie_view.h"

struct mpv_render_context;
class QOffscreenSurface;
class QOpenGLContext;

namespace reel::platform {

class MpvPlayer;

// A movie view drawn by libmpv's render API. The picture is drawn straight
// into a native OpenGL window embedded in this widget, so frames reach the
// screen without passing through the widget's backing store; input over the
// picture comes back to this widget and on to the window around it. The GL
// context and mpv's render context belong to the view and outlive the
// picture's window, which is made anew whenever the view moves to another
// window. A file waits to load until there is a picture to draw it in.
class MpvMovieView : public QWidget, public MovieView {
    Q_OBJECT
public:
    explicit MpvMovieView(QWidget* parent = nullptr);
    ~MpvMovieView() override;

    QWidget* widget() override { return this; }
    void setMovie(std::shared_ptr<toolbox::MovieRecord> movie) override;
    const std::shared_ptr<toolbox::MovieRecord>& movie() const override { return movie_; }
    void start() override;
    void stop() override;
    bool isPlaying() const override;
    float rate() const override;
    void setRate(float rate) override;
    void setMuted(bool muted) override;
    void setVolume(float volume) override;
    void setSubtitleFiles(std::vector<SubtitleFile> files) override;
    void setTrackChooser(TrackChooser chooser) override;
    std::vector<TrackInfo> tracks() const override;
    void selectTrack(TrackInfo::Kind kind, long id) override;
    void addSubtitleFile(const SubtitleFile& file) override;
    void setTracksChanged(std::function<void()> changed) override;

    MpvPlayer& player() { return *player_; }
    // Pictures drawn so far: one for each frame is what playing should cost.
    long drawCount() const { return drawCount_; }

    // mpv asked for the picture's attention; main thread only.
    void renderRequested();

    // The longest a dropped view waits for mpv's video output to let go of the picture.
    static constexpr int kLetGoMilliseconds = 250;

signals:
    // The first picture of the movie is on the screen (or, without a picture, playback began).
    void firstFrameShown();

protected:
    bool event(QEvent* event) override;

private:
    class Picture;
    friend class Picture;

    void makePicture();
    void dropPicture();
    bool makeCurrent();
    void createRenderContext();
    void paintPicture();
    void loadWhenReady();
    void freeRenderContext();

    std::unique_ptr<MpvPlayer> player_;
    Picture* picture_ = nullptr;  // owned by its container
    QWidget* pictureContainer_ = nullptr;
    std::unique_ptr<QOffscreenSurface> offscreen_;  // for GL work while no picture is on screen
    std::unique_ptr<QOpenGLContext> gl_;
    mpv_render_context* render_ = nullptr;
    std::shared_ptr<toolbox::MovieRecord> movie_;
    std::string pendingPath_;
    double pendingStart_ = 0;  // seconds into it
    bool firstFrameWanted_ = false;
    bool restarted_ = false;
    bool drewNewFrame_ = false;  // since the movie was set
    long drawCount_ = 0;
    bool pictureFailed_ = false;
    std::function<void()> tracksChanged_;  // no OpenGL here: the movie plays without its picture
};

}  // namespace reel::platform
