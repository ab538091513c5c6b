#pragma once

#include <QIcon>
#include <QToolBar>

#include <string>
#include <vector>

namespace ravelo {

// The path bar: one button per folder from the project's root down to the
// shown folder, each with the folder picture and its caption beside it. A
// click tells the button's index. GUI thread only.
class TPathTbr : public QToolBar {
  Q_OBJECT

 public:
  explicit TPathTbr(QWidget* parent = nullptr);

  // Keeps the buttons that still fit and renames them, adds or removes the rest.
  void SetCaptions(const std::vector<std::string>& captions, const QIcon& folder);
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  QString Caption(int index) const;
  // As a click on the button.
  void Click(int index);

 signals:
  void ButtonClicked(int index);

 private:
  std::vector<QAction*> buttons_;  // children of this toolbar
};

}  // namespace ravelo
