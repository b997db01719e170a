#pragma once
// Where an image is shown inside a window: as large as fits with its aspect kept, centred.

#include "fvplatform/win_types.h"

namespace pellacor {

// The destination rectangle of a w x h image in a W x H client area: scale = the smaller of
// W / w and H / h, the scaled size truncated, the offset half the slack (integer division).
RECT LetterboxRect(int clientWidth, int clientHeight, int imageWidth, int imageHeight);

}  // namespace pellacor
