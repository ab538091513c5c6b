#pragma once

#include "ui/answer_dialog.h"

#include "ui/resolve_texts.h"

class QLabel;

namespace ravelo {

class TSynFile;

// The conflict dialog: asks what to do with a file whose newer copy cannot
// be told (Delete Local, Identical, Copy or Cancel; Escape cancels). It only
// answers; the main window acts on the answer. Made once and reused, each
// showing fills every text anew. GUI thread only.
class TResolveFrm : public TAnswerDialog {
  Q_OBJECT

 public:
  explicit TResolveFrm(QWidget* parent = nullptr);

  // Fills the dialog for the file and shows it modally. Throws, before
  // anything is shown, when the file's times or sizes are not known.
  TResolveResult Execute(const TSynFile& file);
  void Fill(const TResolveTexts& texts);
  TResolveResult Answer() const { return static_cast<TResolveResult>(result()); }

 private:
  QLabel* file_name_red_;
  QLabel* local_size_lbl_;
  QLabel* local_date_lbl_;
  QLabel* remote_size_lbl_;
  QLabel* remote_date_lbl_;
};

}  // namespace ravelo
