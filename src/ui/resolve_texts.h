#pragma once

#include <string>

#include "shell/replace_question.h"
#include "sync/local_copy.h"  // LocalCopyName, for the dialog's "Copy"

namespace ravelo {

class TSynFile;

// The conflict dialog's answers.
enum TResolveResult : int {
  rrCancel = 2,
  rrDeleteLocal = 1024,  // keep only the remote file
  rrIdentical = 1025,    // declare both copies identical
  rrCopy = 1026,         // keep the local copy under another name
};

// Everything the conflict dialog shows: the question (Lead, then Name in
// bold, then Tail) and the two rows of sizes and dates.
struct TResolveTexts {
  std::string Lead;
  std::string Name;
  std::string Tail;
  std::string LocalSize;
  std::string LocalDate;
  std::string RemoteSize;
  std::string RemoteDate;
};

// Main thread. Throws ETimeUndefined or ESizeUndefined when a side's time or
// size is unknown: there is then no conflict to show.
TResolveTexts ResolveTexts(const TSynFile& file, const TTextFormat& format);

}  // namespace ravelo
