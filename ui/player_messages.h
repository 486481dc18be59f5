#pragma once

#include <QObject>

#include "platform/toolbox.h"

namespace reel {

// What the seek buttons and the menus ask of the transport.
enum class FastCommand { Forward, Rewind, Play, Next, Previous };

// Where the player's parts meet: the transport controls ask for scanning and
// stepping, the movie's end is told, and the mouse moving over the picture
// calls the controller back. Each is connected once, when the interface is
// loaded; whoever emits knows nothing of who listens.
class PlayerMessages : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void fast(reel::FastCommand command);
    // Emitted on the player's own thread: receivers on the main thread get it queued.
    void movieFinished(reel::toolbox::CallBack callBack);
    void moved();
};

}  // namespace reel
