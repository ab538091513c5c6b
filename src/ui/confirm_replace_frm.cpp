#include "ui/confirm_replace_frm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_parts.h"
#include "ui/qt_text.h"

namespace ravelo {

TConfirmReplaceFrm::TConfirmReplaceFrm(QWidget* parent)
    : TAnswerDialog(parent, raCancel, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral("File already exists"));
  auto* layout = new QVBoxLayout(this);  // owned by this
  layout->setSizeConstraint(QLayout::SetFixedSize);

  file_name_red_ = MessageLabel(QStringLiteral("FileNameRed"), this);
  file_name_red_->setMinimumWidth(380);
  layout->addWidget(file_name_red_);
  layout->addWidget(new QLabel(
      QStringLiteral("Do you want to replace existing file with the one being transferred?"),
      this));

  file_info_pnl_ = new QWidget(this);  // owned by this
  file_info_pnl_->setObjectName(QStringLiteral("FileInfoPnl"));
  auto* rows = new QGridLayout(file_info_pnl_);  // owned by the panel
  existing_size_lbl_ = NamedLabel(QStringLiteral("ExistingSizeLbl"), {}, file_info_pnl_);
  existing_date_lbl_ = NamedLabel(QStringLiteral("ExistingDateLbl"), {}, file_info_pnl_);
  existing_newer_lbl_ =
      NamedLabel(QStringLiteral("ExistingNewerLbl"), QStringLiteral("(newer)"), file_info_pnl_);
  replacing_size_lbl_ = NamedLabel(QStringLiteral("ReplacingSizeLbl"), {}, file_info_pnl_);
  replacing_date_lbl_ = NamedLabel(QStringLiteral("ReplacingDateLbl"), {}, file_info_pnl_);
  replacing_newer_lbl_ =
      NamedLabel(QStringLiteral("ReplacingNewerLbl"), QStringLiteral("(newer)"), file_info_pnl_);
  rows->addWidget(BoldLabel(QStringLiteral("Existing file"), file_info_pnl_), 0, 0);
  rows->addWidget(existing_size_lbl_, 0, 1, Qt::AlignRight);
  rows->addWidget(existing_date_lbl_, 0, 2);
  rows->addWidget(existing_newer_lbl_, 0, 3);
  rows->addWidget(BoldLabel(QStringLiteral("Replacing file"), file_info_pnl_), 1, 0);
  rows->addWidget(replacing_size_lbl_, 1, 1, Qt::AlignRight);
  rows->addWidget(replacing_date_lbl_, 1, 2);
  rows->addWidget(replacing_newer_lbl_, 1, 3);
  // Hidden labels keep their place, so the rows do not jump between showings.
  for (QLabel* newer : {existing_newer_lbl_, replacing_newer_lbl_}) {
    QSizePolicy policy = newer->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    newer->setSizePolicy(policy);
  }
  layout->addWidget(file_info_pnl_);

  auto* buttons = new QHBoxLayout;  // owned by layout below
  layout->addLayout(buttons);
  buttons->addStretch();
  const struct {
    const char* name;
    const char* caption;
    TReplaceAnswer answer;
  } kButtons[] = {
      {"ReplaceBtn", "&Replace", raReplace},
      {"ReplaceAllBtn", "Replace &All", raReplaceAll},
      {"LeaveBtn", "&Leave", raLeave},
      {"CancelBtn", "Cancel", raCancel},
  };
  for (const auto& spec : kButtons) {
    QPushButton* button = AnswerButton(spec.name, spec.caption, spec.answer);
    buttons->addWidget(button);
    if (spec.answer == raLeave) SetFocusButton(button);
  }
}

TReplaceAnswer TConfirmReplaceFrm::Execute(const TReplaceFacts& facts) {
  Fill(ReplaceTexts(facts, LocaleTextFormat()));
  return static_cast<TReplaceAnswer>(Ask());
}

void TConfirmReplaceFrm::Fill(const TReplaceTexts& texts) {
  file_name_red_->setText(RichMessage(texts.Lead, texts.Name, texts.Tail));
  existing_size_lbl_->setText(Qs(texts.ExistingSize));
  existing_date_lbl_->setText(Qs(texts.ExistingDate));
  existing_newer_lbl_->setVisible(texts.ExistingNewer);
  replacing_size_lbl_->setText(Qs(texts.ReplacingSize));
  replacing_date_lbl_->setText(Qs(texts.ReplacingDate));
  replacing_newer_lbl_->setVisible(texts.ReplacingNewer);
  file_info_pnl_->setVisible(texts.ShowInfo);
  setResult(raCancel);
}

}  // namespace ravelo
