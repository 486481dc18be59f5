#pragma once

class QLabel;

namespace reel {

// A field's value read out with its caption ("Size: 12.3 MB"; just "Size"
// while empty). The caption is the accessible name the field was given in
// its form; call again whenever the text changes.
void speakWithCaption(QLabel* field);

}  // namespace reel
