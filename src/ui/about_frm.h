#pragma once

#include <QDialog>

namespace ravelo {

// The About box: the product's name, its version (major and minor of the
// built version) and what it does. GUI thread only.
class TAboutFrm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutFrm(QWidget* parent = nullptr);
};

}  // namespace ravelo
