#include "ui/resolve_frm.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_parts.h"
#include "ui/qt_text.h"

namespace ravelo {

TResolveFrm::TResolveFrm(QWidget* parent) : TAnswerDialog(parent, rrCancel) {
  setWindowTitle(QStringLiteral("Conflict resolution"));
  auto* layout = new QVBoxLayout(this);  // owned by this
  layout->setSizeConstraint(QLayout::SetFixedSize);

  file_name_red_ = MessageLabel(QStringLiteral("FileNameRed"), this);
  file_name_red_->setMinimumWidth(360);
  layout->addWidget(file_name_red_);

  auto* info = new QWidget(this);  // owned by this
  info->setObjectName(QStringLiteral("FileInfoPnl"));
  auto* rows = new QGridLayout(info);  // owned by info
  local_size_lbl_ = NamedLabel(QStringLiteral("LocalSizeLbl"), {}, info);
  local_date_lbl_ = NamedLabel(QStringLiteral("LocalDateLbl"), {}, info);
  remote_size_lbl_ = NamedLabel(QStringLiteral("RemoteSizeLbl"), {}, info);
  remote_date_lbl_ = NamedLabel(QStringLiteral("RemoteDateLbl"), {}, info);
  rows->addWidget(BoldLabel(QStringLiteral("Local file"), info), 0, 0);
  rows->addWidget(local_size_lbl_, 0, 1, Qt::AlignRight);
  rows->addWidget(local_date_lbl_, 0, 2);
  rows->addWidget(BoldLabel(QStringLiteral("Remote file"), info), 1, 0);
  rows->addWidget(remote_size_lbl_, 1, 1, Qt::AlignRight);
  rows->addWidget(remote_date_lbl_, 1, 2);
  layout->addWidget(info);

  layout->addWidget(new QLabel(QStringLiteral("You can choose one of the resolutions:"), this));
  auto* choices = new QGridLayout;  // owned by layout below
  layout->addLayout(choices);
  const struct {
    const char* name;
    const char* caption;
    const char* meaning;
    TResolveResult result;
  } kChoices[] = {
      {"DeleteLocalBtn", "Delete &Local", "Keep only remote file, delete local", rrDeleteLocal},
      {"MarkSynchronizedBtn", "&Identical", "Declare files to be identical", rrIdentical},
      {"MakeCopiesBtn", "&Copy", "Copy local file with different name", rrCopy},
  };
  int row = 0;
  for (const auto& choice : kChoices) {
    choices->addWidget(AnswerButton(choice.name, choice.caption, choice.result), row, 0);
    choices->addWidget(new QLabel(QString::fromLatin1(choice.meaning), this), row, 1);
    ++row;
  }
  QPushButton* cancel = AnswerButton("CancelBtn", "Cancel", rrCancel);
  choices->addWidget(cancel, row, 0);
  SetFocusButton(cancel);
}

TResolveResult TResolveFrm::Execute(const TSynFile& file) {
  Fill(ResolveTexts(file, LocaleTextFormat()));
  return static_cast<TResolveResult>(Ask());
}

void TResolveFrm::Fill(const TResolveTexts& texts) {
  file_name_red_->setText(RichMessage(texts.Lead, texts.Name, texts.Tail));
  local_size_lbl_->setText(Qs(texts.LocalSize));
  local_date_lbl_->setText(Qs(texts.LocalDate));
  remote_size_lbl_->setText(Qs(texts.RemoteSize));
  remote_date_lbl_->setText(Qs(texts.RemoteDate));
  setResult(rrCancel);
}

}  // namespace ravelo
