#pragma once

#include "shell/replace_question.h"
#include "ui/answer_dialog.h"

class QLabel;

namespace ravelo {

// Asks whether a dropped file or folder replaces the entry of its name in
// the local cache: Replace, Replace All, Leave or Cancel (also Escape). The
// focus starts on Leave, so Enter never overwrites anything. Made once and
// reused; each showing fills every text anew. GUI thread only.
class TConfirmReplaceFrm : public TAnswerDialog {
  Q_OBJECT

 public:
  explicit TConfirmReplaceFrm(QWidget* parent = nullptr);

  // Fills the dialog from the facts and shows it modally.
  TReplaceAnswer Execute(const TReplaceFacts& facts);
  void Fill(const TReplaceTexts& texts);
  TReplaceAnswer Answer() const { return static_cast<TReplaceAnswer>(result()); }

 private:
  QLabel* file_name_red_;
  QWidget* file_info_pnl_;
  QLabel* existing_size_lbl_;
  QLabel* existing_date_lbl_;
  QLabel* existing_newer_lbl_;
  QLabel* replacing_size_lbl_;
  QLabel* replacing_date_lbl_;
  QLabel* replacing_newer_lbl_;
};

}  // namespace ravelo
