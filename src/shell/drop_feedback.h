#pragma once

#include <cstdint>
#include <string>

#include "shell/replace_question.h"

namespace ravelo {

// What a drop's walk asks of the window: the progress dialog and the replace
// question. Every call comes from the thread running the walk; TDropJob
// hands them to the main thread, so the window implements them there.
class IDropFeedback {
 public:
  virtual ~IDropFeedback() = default;

  // Bytes to copy were counted: show the progress dialog with the caption
  // ("Copying..." or "Moving..."). Not called when there is nothing to copy.
  virtual void Start(const std::string& caption, std::int64_t total) = 0;
  // A new file (or a folder moved by rename) begins.
  virtual void NextFile(const std::string& path) = 0;
  // The current file has transferred bytes so far. Called every few tens of
  // milliseconds during a copy, and with the whole size at its end.
  virtual void Advance(std::int64_t bytes) = 0;
  // An entry of the source's name exists in the folder: ask Replace, Replace
  // All, Leave or Cancel. Returns when the user has answered.
  virtual TReplaceAnswer ConfirmReplace(const TReplaceFacts& facts) = 0;
  // The walk has ended, however: hide the progress dialog.
  virtual void Finish() = 0;
};

}  // namespace ravelo
