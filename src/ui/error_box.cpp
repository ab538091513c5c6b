#include "ui/error_box.h"

#include <QMessageBox>

#include <utility>

namespace ravelo {

namespace {

TErrorBox& InstalledBox() {
  static TErrorBox box;  // GUI thread only
  return box;
}

void AppendNested(QString& text, const std::exception& error) {
  try {
    std::rethrow_if_nested(error);
  } catch (const std::exception& nested) {
    text += QLatin1Char('\n') + QString::fromUtf8(nested.what());
    AppendNested(text, nested);
  } catch (...) {
  }
}

}  // namespace

QString ErrorText(const std::exception& error) {
  QString text = QString::fromUtf8(error.what());
  AppendNested(text, error);
  return text;
}

void ShowErrorBox(QWidget* parent, const QString& message) {
  if (const TErrorBox& box = InstalledBox()) {
    box(parent, message);
    return;
  }
  QMessageBox::critical(parent, QStringLiteral("Ravelo"), message);
}

void ShowErrorBox(QWidget* parent, const std::exception& error) {
  ShowErrorBox(parent, ErrorText(error));
}

bool ReportErrors(QWidget* parent, const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    ShowErrorBox(parent, error);
  }
  return false;
}

TErrorBox SetErrorBox(TErrorBox box) {
  return std::exchange(InstalledBox(), std::move(box));
}

}  // namespace ravelo
