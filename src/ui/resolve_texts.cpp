#include "ui/resolve_texts.h"

#include "sync/syn_file.h"
#include "ui/display_texts.h"

namespace ravelo {

TResolveTexts ResolveTexts(const TSynFile& file, const TTextFormat& format) {
  TResolveTexts texts;
  texts.Lead = "Ravelo cannot detect automatically if remote or local file \"";
  texts.Name = file.Name();
  texts.Tail = "\" is newer.";
  texts.LocalDate = DateTimeText(file.LocalTime(), format);
  texts.LocalSize = SizeText(file.LocalSize(), format);
  texts.RemoteDate = DateTimeText(file.RemoteTime(), format);
  texts.RemoteSize = SizeText(file.RemoteSize(), format);
  return texts;
}

std::string LocalCopyName(const std::string& local_path,
                          const std::function<bool(const std::string&)>& exists) {
  const auto slash = local_path.rfind('/');
  const auto name_start = slash == std::string::npos ? 0 : slash + 1;
  auto dot = local_path.rfind('.');
  if (dot == std::string::npos || dot < name_start) dot = local_path.size();
  const std::string stem = local_path.substr(0, dot);
  const std::string extension = local_path.substr(dot);
  std::string candidate = stem + " (local)" + extension;
  for (int k = 2; exists(candidate); ++k) {
    candidate = stem;
    candidate.append(" (local ").append(std::to_string(k)).append(")").append(extension);
  }
  return candidate;
}

}  // namespace ravelo
