#include "ui/question_box.h"

#include <QMessageBox>

#include <utility>

namespace ravelo {

namespace {

TQuestionBox& InstalledBox() {
  static TQuestionBox box;  // GUI thread only
  return box;
}

}  // namespace

bool AskQuestion(QWidget* parent, const QString& question) {
  if (const TQuestionBox& box = InstalledBox()) return box(parent, question);
  return QMessageBox::question(parent, QStringLiteral("Ravelo"), question,
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

TQuestionBox SetQuestionBox(TQuestionBox box) {
  return std::exchange(InstalledBox(), std::move(box));
}

}  // namespace ravelo
