#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace ravelo {

// Small pieces the dialogs share. Each widget is given the object name the
// window and the tests find it by.
QLabel* NamedLabel(const QString& object_name, const QString& text, QWidget* parent);
QLabel* BoldLabel(const QString& text, QWidget* parent);
// A read-only rich text line on the dialog's background, wrapping.
QLabel* MessageLabel(const QString& object_name, QWidget* parent);

}  // namespace ravelo
