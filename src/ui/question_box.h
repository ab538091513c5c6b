#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ravelo {

// The program's yes/no question: a message box titled "Ravelo" whose
// default answer is No. True for Yes. GUI thread only.
bool AskQuestion(QWidget* parent, const QString& question);

// Replaces what asks (tests answer without a modal box); answers the one
// replaced. None restores the box.
using TQuestionBox = std::function<bool(QWidget* parent, const QString& question)>;
TQuestionBox SetQuestionBox(TQuestionBox box);

}  // namespace ravelo
