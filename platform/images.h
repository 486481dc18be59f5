#pragma once

#include <QIcon>
#include <QString>

namespace reel::platform {

// The shared image of a resource name ("whiteplay.png"), with its 2x
// variant where one exists; a null icon when there is no such resource.
QIcon imageNamed(const QString& name);

}  // namespace reel::platform
