#include "settings/extension.h"

namespace ravelo {

std::string ExtractExtension(std::string_view text) {
  const auto separator = text.find_last_of("/\\");
  if (separator != std::string_view::npos) text.remove_prefix(separator + 1);
  const auto dot = text.rfind('.');
  if (dot == std::string_view::npos) return {};
  return std::string(text.substr(dot + 1));
}

}  // namespace ravelo
