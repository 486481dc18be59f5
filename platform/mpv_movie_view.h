#pragma once

#include <QOpenGLWidget>
#include <memory>
#include <string>

#include "platform/movie_view.h"

struct mpv_render_context;

namespace reel::platform {

class MpvPlayer;

// A movie view drawn by libmpv's render API into a Qt OpenGL widget. The
// render context lives and dies with the widget's GL context, so the view
// can move between windows; a file waits to load until the picture has
// somewhere to go.
class MpvMovieView : public QOpenGLWidget, public MovieView {
    Q_OBJECT
public:
    explicit MpvMovieView(QWidget* parent = nullptr);
    ~MpvMovieView() override;

    QWidget* widget() override { return this; }
    void setMovie(std::shared_ptr<CLMovie> movie) override;
    CLMovie* movie() const override { return movie_.get(); }
    void start() override;
    void stop() override;
    bool isPlaying() const override;
    float rate() const override;
    void setRate(float rate) override;
    void setMuted(bool muted) override;
    void setVolume(float volume) override;
    void setEditable(bool editable) override { editable_ = editable; }
    void showController(bool show, bool) override { controllerShown_ = show; }

    MpvPlayer& player() { return *player_; }

    // The longest a dropped view waits for its file to end.
    static constexpr int kStopMilliseconds = 30;

signals:
    // The first picture of the movie is on the screen (or, without a picture, playback began).
    void firstFrameShown();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void loadWhenReady();
    void freeRenderContext();

    std::unique_ptr<MpvPlayer> player_;
    mpv_render_context* render_ = nullptr;
    std::shared_ptr<CLMovie> movie_;
    std::string pendingPath_;
    bool firstFrameWanted_ = false;
    bool restarted_ = false;
    std::string videoTrack_;  // to select again once a new context exists
    bool editable_ = false;
    bool controllerShown_ = false;
};

}  // namespace reel::platform
