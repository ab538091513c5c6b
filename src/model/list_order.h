#pragma once

#include <string_view>

namespace ravelo {

// The file list's order: folders before files, then the captions compared
// with the letters a-z folded to A-Z and every other byte by its code.
// Negative, zero or positive as a sorts before, with or after b.
int CompareListItems(bool folder_a, std::string_view caption_a, bool folder_b,
                     std::string_view caption_b);

}  // namespace ravelo
