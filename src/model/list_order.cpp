#include "model/list_order.h"

#include <algorithm>

namespace ravelo {

namespace {

unsigned char Folded(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

}  // namespace

int CompareListItems(bool folder_a, std::string_view caption_a, bool folder_b,
                     std::string_view caption_b) {
  if (folder_a != folder_b) return folder_a ? -1 : 1;
  const std::size_t common = std::min(caption_a.size(), caption_b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const int difference = Folded(caption_a[i]) - Folded(caption_b[i]);
    if (difference != 0) return difference;
  }
  return caption_a.size() < caption_b.size() ? -1 : caption_a.size() > caption_b.size() ? 1 : 0;
}

}  // namespace ravelo
