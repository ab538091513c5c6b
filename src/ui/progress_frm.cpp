#include "ui/progress_frm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/confirm_replace_frm.h"
#include "ui/qt_text.h"

namespace ravelo {

TProgressFrm::TProgressFrm(TConfirmReplaceFrm& confirm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), confirm_(confirm) {
  setModal(false);
  auto* layout = new QVBoxLayout(this);  // owned by this
  file_name_lbl_ = new QLabel(this);     // owned by this
  file_name_lbl_->setObjectName(QStringLiteral("FileNameLbl"));
  file_name_lbl_->setMinimumWidth(360);
  file_name_lbl_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(file_name_lbl_);
  progress_bar_ = new QProgressBar(this);  // owned by this
  progress_bar_->setObjectName(QStringLiteral("ProgressBar1"));
  progress_bar_->setRange(0, 100);
  layout->addWidget(progress_bar_);
  auto* buttons = new QHBoxLayout;  // owned by layout below
  layout->addLayout(buttons);
  buttons->addStretch();
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);  // owned by this
  cancel->setObjectName(QStringLiteral("CancelBtn"));
  connect(cancel, &QPushButton::clicked, this, &TProgressFrm::reject);
  buttons->addWidget(cancel);
  buttons->addStretch();
  setFixedHeight(sizeHint().height());
}

void TProgressFrm::Start(const std::string& caption, std::int64_t total) {
  count_.Start(total);
  setWindowTitle(Qs(caption));
  path_.clear();
  ShowPath();
  progress_bar_->setValue(0);
  show();
  raise();
}

void TProgressFrm::NextFile(const std::string& path) {
  count_.NextFile();
  path_ = Qs(path);
  ShowPath();
}

void TProgressFrm::Advance(std::int64_t bytes) {
  count_.Advance(bytes);
  progress_bar_->setValue(count_.Position());
}

TReplaceAnswer TProgressFrm::ConfirmReplace(const TReplaceFacts& facts) {
  return confirm_.Execute(facts);
}

void TProgressFrm::Finish() {
  hide();
}

void TProgressFrm::reject() {
  emit CancelRequested();
  hide();
}

void TProgressFrm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ShowPath();
}

void TProgressFrm::ShowPath() {
  // A long path keeps its start and its file name.
  file_name_lbl_->setText(
      file_name_lbl_->fontMetrics().elidedText(path_, Qt::ElideMiddle, file_name_lbl_->width()));
  file_name_lbl_->setToolTip(path_);
}

}  // namespace ravelo
