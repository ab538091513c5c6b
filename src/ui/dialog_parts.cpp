#include "ui/dialog_parts.h"

#include <QLabel>

namespace ravelo {

QLabel* NamedLabel(const QString& object_name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);  // owned by parent
  label->setObjectName(object_name);
  return label;
}

QLabel* BoldLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);  // owned by parent
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

QLabel* MessageLabel(const QString& object_name, QWidget* parent) {
  QLabel* label = NamedLabel(object_name, {}, parent);
  label->setTextFormat(Qt::RichText);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace ravelo
