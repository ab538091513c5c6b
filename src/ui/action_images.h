#pragma once

#include <QIcon>

namespace ravelo {

// The pictures of the window's actions, by their image index (ActionInfo):
// 0 folder up, 1 synchronize, 2 upload, 3 new file, 4 new folder, 5 delete,
// 6 delete local, 7 view style, 8 edit project. From the icon theme, with
// Qt's own standard pictures where the theme has none; null for -1.
QIcon ActionImage(int image);

// The connection panel's picture: a link, broken while disconnected.
QIcon ConnectionImage(bool connected);

}  // namespace ravelo
