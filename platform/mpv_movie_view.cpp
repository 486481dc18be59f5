#include "platform/mpv_movie_view.h"

#include <mpv/render_gl.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

#include "platform/log.h"
#include "platform/mpv_player.h"

namespace reel::platform {

namespace {

void* procAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

bool isInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        default:
            return false;
    }
}

// Called on one of mpv's threads: only the view's answer is queued from here.
void renderUpdate(void* view) {
    auto* movieView = static_cast<MpvMovieView*>(view);
    QMetaObject::invokeMethod(
        movieView, [movieView] { movieView->renderRequested(); }, Qt::QueuedConnection);
}

}  // namespace

// The window the picture is drawn in. It covers the view exactly, so input
// handed back to the view keeps its coordinates.
class MpvMovieView::Picture : public QWindow {
public:
    explicit Picture(MpvMovieView& view) : view_(view) {
        setSurfaceType(QSurface::OpenGLSurface);
        // The window around the picture keeps the keyboard, even when the
        // picture is clicked or goes away.
        setFlag(Qt::WindowDoesNotAcceptFocus);
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest) {
            view_.paintPicture();
            return true;
        }
        if (!isInput(event->type())) return QWindow::event(event);
        const std::unique_ptr<QEvent> copy(event->clone());
        QCoreApplication::sendEvent(&view_, copy.get());
        return true;
    }
    void exposeEvent(QExposeEvent*) override { view_.paintPicture(); }

private:
    MpvMovieView& view_;
};

MpvMovieView::MpvMovieView(QWidget* parent) : QWidget(parent), player_(std::make_unique<MpvPlayer>()) {
    setMinimumSize(16, 16);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    // Moves over the picture reach the window around it, which may want to know.
    setMouseTracking(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    makePicture();
    connect(player_.get(), &MpvPlayer::tracksChanged, this, [this] {
        if (tracksChanged_) tracksChanged_();
    });
    connect(player_.get(), &MpvPlayer::playbackRestarted, this, [this] {
        if (!firstFrameWanted_) return;
        // mpv restarts once its first frame was drawn, unless drawing stalled: then the next paint shows it.
        if (render_ && !drewNewFrame_) {
            restarted_ = true;
            picture_->requestUpdate();
            return;
        }
        firstFrameWanted_ = false;  // without a picture to draw, playback starting is as far as it goes
        emit firstFrameShown();
    });
}

MpvMovieView::~MpvMovieView() {
    if (render_) player_->unload();
    freeRenderContext();
    player_.reset();  // the render context must be gone before the core goes
}

bool MpvMovieView::event(QEvent* event) {
    // Software OpenGL can crash drawing into a native window that moved to
    // another parent, so the picture gets a window of its own in each place.
    if (event->type() == QEvent::ParentAboutToChange)
        dropPicture();
    else if (event->type() == QEvent::ParentChange)
        makePicture();
    return QWidget::event(event);
}

void MpvMovieView::makePicture() {
    if (picture_ || !player_->rendersVideo()) return;
    picture_ = new Picture(*this);
    pictureContainer_ = QWidget::createWindowContainer(picture_, this);
    layout()->addWidget(pictureContainer_);
}

void MpvMovieView::dropPicture() {
    if (!picture_ || !picture_->handle()) return;  // never shown: it can go anywhere
    if (gl_) gl_->doneCurrent();
    delete pictureContainer_;  // and the window with it
    pictureContainer_ = nullptr;
    picture_ = nullptr;
}

bool MpvMovieView::makeCurrent() {
    if (!gl_) return false;
    if (picture_ && picture_->isExposed() && gl_->makeCurrent(picture_)) return true;
    return gl_->makeCurrent(offscreen_.get());
}

void MpvMovieView::createRenderContext() {
    if (!player_->valid() || pictureFailed_) return;
    gl_ = std::make_unique<QOpenGLContext>();
    gl_->setFormat(picture_->requestedFormat());
    offscreen_ = std::make_unique<QOffscreenSurface>();
    if (gl_->create()) {
        offscreen_->setFormat(gl_->format());
        offscreen_->create();
        mpv_opengl_init_params init{procAddress, nullptr};
        int advanced = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
            {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
            {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (gl_->makeCurrent(picture_) &&
            mpv_render_context_create(&render_, player_->handle(), params) >= 0) {
            mpv_render_context_set_update_callback(render_, renderUpdate, this);
            loadWhenReady();
            return;
        }
    }
    // The movie plays on without its picture rather than not at all.
    log("mpv could not draw into the viewer");
    render_ = nullptr;
    gl_.reset();
    offscreen_.reset();
    pictureFailed_ = true;
    loadWhenReady();
}

void MpvMovieView::freeRenderContext() {
    if (!render_) return;
    // mpv's video output lets go of the render context between two frames, and
    // only this thread takes frames from it: hand them back unseen until it has
    // closed, rather than stall on mpv's wait of up to 200 ms for each.
    if (makeCurrent()) {
        int skip = 1;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        QElapsedTimer waited;
        waited.start();
        while (player_->videoOutputOpen() && waited.elapsed() < kLetGoMilliseconds) {
            if (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME) {
                mpv_render_context_render(render_, params);
                mpv_render_context_report_swap(render_);
            }
            QThread::msleep(1);
        }
    }
    mpv_render_context_free(render_);
    render_ = nullptr;
    gl_->doneCurrent();
}

void MpvMovieView::setMovie(std::shared_ptr<toolbox::MovieRecord> movie) {
    movie_ = std::move(movie);
    if (!movie_) {
        pendingPath_.clear();
        firstFrameWanted_ = false;
        player_->newClock();  // the movie that was shown ends unreported
        player_->unload();
        return;
    }
    // A movie set at a time other than its start plays from there.
    pendingStart_ = movie_->timeScale > 0 ? double(movie_->currentTime) / double(movie_->timeScale) : 0.0;
    // The clock exists at once, so the end of the movie can be waited for before it loads.
    movie_->clock = player_->newClock(pendingStart_);
    pendingPath_ = movie_->source;
    firstFrameWanted_ = true;
    restarted_ = drewNewFrame_ = false;
    loadWhenReady();
}

void MpvMovieView::loadWhenReady() {
    if (pendingPath_.empty() || !player_->valid()) return;
    if (player_->rendersVideo() && !render_ && !pictureFailed_) return;  // the first paint loads it
    player_->load(pendingPath_, pendingStart_);
    pendingPath_.clear();
}

void MpvMovieView::renderRequested() {
    // mpv may want more than a new frame drawn (its decoder waits on this
    // thread for picture buffers, say), so it is answered even while no
    // picture is on screen.
    if (!render_ || !makeCurrent()) return;
    if (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME) paintPicture();
}

void MpvMovieView::paintPicture() {
    if (!picture_ || !picture_->isExposed()) return;
    if (!render_) createRenderContext();
    if (!render_ || !gl_->makeCurrent(picture_)) return;
    const QSize pixels = picture_->size() * picture_->devicePixelRatio();
    if (pixels.isEmpty()) return;  // not laid out yet: nothing to draw into
    mpv_opengl_fbo target{int(gl_->defaultFramebufferObject()), pixels.width(), pixels.height(), 0};
    int flip = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    const bool newFrame = mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME;
    mpv_render_context_render(render_, params);
    gl_->swapBuffers(picture_);
    mpv_render_context_report_swap(render_);
    ++drawCount_;
    drewNewFrame_ = drewNewFrame_ || newFrame;
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

void MpvMovieView::setSubtitleFiles(std::vector<SubtitleFile> files) {
    player_->setSubtitleFiles(std::move(files));
}

void MpvMovieView::setTrackChooser(TrackChooser chooser) { player_->setTrackChooser(std::move(chooser)); }

std::vector<TrackInfo> MpvMovieView::tracks() const { return player_->tracks(); }

void MpvMovieView::selectTrack(TrackInfo::Kind kind, long id) { player_->selectTrack(kind, id); }

void MpvMovieView::addSubtitleFile(const SubtitleFile& file) { player_->addSubtitle(file); }

void MpvMovieView::setTracksChanged(std::function<void()> changed) { tracksChanged_ = std::move(changed); }

}  // namespace reel::platform
