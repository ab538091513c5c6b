#pragma once

#include <QString>

namespace ravelo {

class TFolderFrm;

// For the smoke test and screenshots: once the window is connected, lists
// items and no operation runs, saves a picture of the window to
// screenshot (PNG), prints "ravelo: ready: " and the listed items on
// standard output (", " between them; a file with its state in brackets:
// "index.html (Not Cached)") and closes the window. The
// window outlives the probe's timer (a child of it).
void InstallReadyProbe(TFolderFrm& window, const QString& screenshot);

}  // namespace ravelo
