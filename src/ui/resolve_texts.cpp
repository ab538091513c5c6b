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

}  // namespace ravelo
