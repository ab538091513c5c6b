#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace ravelo {

// What the error box shows of an error: its message, then the message of
// each error nested in it (the reason a settings file could not be
// written, for instance), one a line.
QString ErrorText(const std::exception& error);

// The program's error box: a critical message box titled "Ravelo". The
// program goes on afterwards. GUI thread only.
void ShowErrorBox(QWidget* parent, const QString& message);
void ShowErrorBox(QWidget* parent, const std::exception& error);

// Runs action; an error it throws is shown in the error box. False then.
bool ReportErrors(QWidget* parent, const std::function<void()>& action);

// Replaces what shows the box (tests record the messages instead of
// showing a modal box); answers the one replaced. None restores the box.
using TErrorBox = std::function<void(QWidget* parent, const QString& message)>;
TErrorBox SetErrorBox(TErrorBox box);

}  // namespace ravelo
