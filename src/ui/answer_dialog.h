#pragma once

#include <QDialog>

class QPushButton;

namespace ravelo {

// A modal question whose buttons each close it with their own answer;
// Escape and closing the window answer cancel. The focus starts on the
// button given, so Enter picks the safe answer. GUI thread only.
class TAnswerDialog : public QDialog {
 public:
  void reject() override;

 protected:
  TAnswerDialog(QWidget* parent, int cancel, Qt::WindowFlags flags = {});

  // A button named name (for the window and the tests) that answers answer.
  QPushButton* AnswerButton(const char* name, const char* caption, int answer);
  void SetFocusButton(QPushButton* button) { focus_ = button; }
  // Runs the dialog modally; the answer, cancel when it was closed otherwise.
  int Ask();

  void showEvent(QShowEvent* event) override;

 private:
  int cancel_;
  QPushButton* focus_ = nullptr;  // a child of this dialog
};

}  // namespace ravelo
