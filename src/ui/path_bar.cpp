#include "ui/path_bar.h"

#include <algorithm>

#include "model/branch.h"
#include "model/node.h"

namespace ravelo {

std::vector<std::string> PathBarCaptions(const TNode& shown_folder, const std::string& host) {
  std::vector<std::string> captions;
  for (const TNode* node = &shown_folder; node->Parent() != nullptr; node = node->Parent())
    captions.push_back(node->Name());
  captions.push_back(host + "/");
  std::reverse(captions.begin(), captions.end());
  return captions;
}

int PathButtonLevelsUp(int button_count, int index) {
  return button_count - (index + 1);
}

}  // namespace ravelo
