#include "platform/mpv_movie_view.h"

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QElapsedTimer>
#include <QMetaObject>
#include <QOpenGLContext>
#include <QThread>

#include "media/cl_movie.h"
#include "platform/log.h"
#include "platform/mpv_player.h"

namespace reel::platform {

namespace {

void* procAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

// Called on one of mpv's threads: only a request to repaint is queued from here.
void renderUpdate(void* view) {
    QMetaObject::invokeMethod(static_cast<MpvMovieView*>(view), qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

}  // namespace

MpvMovieView::MpvMovieView(QWidget* parent) : QOpenGLWidget(parent), player_(std::make_unique<MpvPlayer>()) {
    setMinimumSize(16, 16);
    // Moves over the picture reach the window around it, which may want to know.
    setMouseTracking(true);
    connect(player_.get(), &MpvPlayer::playbackRestarted, this, [this] {
        if (!firstFrameWanted_) return;
        if (player_->rendersVideo()) {
            restarted_ = true;  // the next paint shows the first picture
            update();
            return;
        }
        firstFrameWanted_ = false;  // without a picture to draw, playback starting is as far as it goes
        emit firstFrameShown();
    });
}

MpvMovieView::~MpvMovieView() {
    if (render_ && !player_->idle()) {
        // mpv's video output waits for a render to finish before it lets go of
        // a playing file, and only this thread renders: stop the file and hand
        // back its frames unseen until it has ended, rather than stall for it.
        const char* stop[] = {"stop", nullptr};
        mpv_command_async(player_->handle(), 0, stop);
        makeCurrent();
        int skip = 1;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip}, {MPV_RENDER_PARAM_INVALID, nullptr}};
        QElapsedTimer waited;
        waited.start();
        while (!player_->idle() && waited.elapsed() < kStopMilliseconds) {
            if (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME) mpv_render_context_render(render_, params);
            QThread::msleep(1);
        }
        doneCurrent();
    }
    freeRenderContext();
    player_.reset();  // the render context must be gone before the core goes
}

void MpvMovieView::freeRenderContext() {
    if (!render_) return;
    // Remember which picture was shown; freeing the context makes mpv let go of it.
    if (char* track = mpv_get_property_string(player_->handle(), "vid")) {
        videoTrack_ = std::string(track) == "no" ? "auto" : track;
        mpv_free(track);
    }
    makeCurrent();
    mpv_render_context_free(render_);
    render_ = nullptr;
    doneCurrent();
}

void MpvMovieView::setMovie(std::shared_ptr<CLMovie> movie) {
    movie_ = std::move(movie);
    if (!movie_) return;
    // The clock exists at once, so the end of the movie can be waited for before it loads.
    movie_->QTMovie()->clock = player_->newClock();
    pendingPath_ = movie_->QTMovie()->source;
    firstFrameWanted_ = true;
    restarted_ = false;
    loadWhenReady();
}

void MpvMovieView::loadWhenReady() {
    if (pendingPath_.empty() || !player_->valid()) return;
    if (player_->rendersVideo() && !render_) return;  // initializeGL loads it
    player_->load(pendingPath_);
    pendingPath_.clear();
}

void MpvMovieView::initializeGL() {
    if (!player_->valid() || !player_->rendersVideo()) return;
    mpv_opengl_init_params gl{procAddress, nullptr};
    int advanced = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_create(&render_, player_->handle(), params) < 0) {
        log("mpv could not draw into the viewer");
        render_ = nullptr;
        return;
    }
    mpv_render_context_set_update_callback(render_, renderUpdate, this);
    if (!videoTrack_.empty()) {
        // mpv dropped the picture with the old context (the view moved to
        // another window): pick the same track again to show it through this one.
        mpv_set_property_string(player_->handle(), "vid", videoTrack_.c_str());
        videoTrack_.clear();
    }
    // Moving to another window gives the widget a new GL context; the render context goes with the old one.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &MpvMovieView::freeRenderContext,
            Qt::DirectConnection);
    loadWhenReady();
}

void MpvMovieView::paintGL() {
    if (!render_) return;
    const qreal ratio = devicePixelRatioF();
    mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * ratio), int(height() * ratio), 0};
    int flip = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_update(render_);
    mpv_render_context_render(render_, params);
    if (firstFrameWanted_ && restarted_) {
        firstFrameWanted_ = restarted_ = false;
        emit firstFrameShown();
    }
}

void MpvMovieView::start() { player_->setPaused(false); }

void MpvMovieView::stop() { player_->setPaused(true); }

bool MpvMovieView::isPlaying() const { return player_->playing(); }

float MpvMovieView::rate() const { return isPlaying() ? float(player_->rate()) : 0.0f; }

void MpvMovieView::setRate(float rate) { player_->setRate(rate); }

void MpvMovieView::setMuted(bool muted) { player_->setMuted(muted); }

void MpvMovieView::setVolume(float volume) { player_->setVolume(double(volume) * 100.0); }

}  // namespace reel::platform
