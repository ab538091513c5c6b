#include "ui/answer_dialog.h"

#include <QPushButton>

namespace ravelo {

TAnswerDialog::TAnswerDialog(QWidget* parent, int cancel, Qt::WindowFlags flags)
    : QDialog(parent, flags), cancel_(cancel) {}

void TAnswerDialog::reject() {
  done(cancel_);
}

QPushButton* TAnswerDialog::AnswerButton(const char* name, const char* caption, int answer) {
  auto* button = new QPushButton(QString::fromLatin1(caption), this);  // owned by this
  button->setObjectName(QString::fromLatin1(name));
  connect(button, &QPushButton::clicked, this, [this, answer] { done(answer); });
  return button;
}

int TAnswerDialog::Ask() {
  setResult(cancel_);
  exec();
  return result();
}

void TAnswerDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (focus_ != nullptr) focus_->setFocus();
}

}  // namespace ravelo
