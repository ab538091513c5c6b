#pragma once

#include <string>
#include <vector>

namespace ravelo {

class TNode;

// The path bar's buttons for the shown folder: the host and "/" for the
// project's root ("/" alone without a host), then the name of each folder
// down to the shown one.
std::vector<std::string> PathBarCaptions(const TNode& shown_folder, const std::string& host);

// How many levels up from the shown folder the button at index leads; the
// last button (0) opens the shown folder again.
int PathButtonLevelsUp(int button_count, int index);

}  // namespace ravelo
