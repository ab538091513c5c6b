#pragma once

#include <QDialog>

#include "shell/drop_feedback.h"
#include "shell/progress_count.h"

class QLabel;
class QProgressBar;

namespace ravelo {

class TConfirmReplaceFrm;

// The progress of a drop into the local cache, and the window's side of the
// drop: the window hands this dialog to TDropJob as its feedback, and wires
// CancelRequested to the job's Cancel. Shown (not modal, on top) by Start,
// hidden by Finish or Cancel; the replace question goes to the confirmation
// dialog. GUI thread only: TDropJob hands every call over to it.
class TProgressFrm : public QDialog, public IDropFeedback {
  Q_OBJECT

 public:
  // confirm outlives this dialog.
  explicit TProgressFrm(TConfirmReplaceFrm& confirm, QWidget* parent = nullptr);

  void Start(const std::string& caption, std::int64_t total) override;
  void NextFile(const std::string& path) override;
  void Advance(std::int64_t bytes) override;
  TReplaceAnswer ConfirmReplace(const TReplaceFacts& facts) override;
  void Finish() override;

  // The Cancel button and Escape.
  void reject() override;

 signals:
  // The user wants the transfer stopped.
  void CancelRequested();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowPath();

  TConfirmReplaceFrm& confirm_;
  TProgressCount count_;
  QString path_;
  QLabel* file_name_lbl_;
  QProgressBar* progress_bar_;
};

}  // namespace ravelo
