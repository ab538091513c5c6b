#include "ui/path_tbr.h"

#include "ui/qt_text.h"

namespace ravelo {

TPathTbr::TPathTbr(QWidget* parent) : QToolBar(parent) {
  setObjectName(QStringLiteral("PathTbr"));
  setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  setIconSize(QSize(16, 16));
  setMovable(false);
  setFloatable(false);
}

void TPathTbr::SetCaptions(const std::vector<std::string>& captions, const QIcon& folder) {
  while (buttons_.size() > captions.size()) {
    delete buttons_.back();  // a child of this toolbar
    buttons_.pop_back();
  }
  while (buttons_.size() < captions.size()) {
    const int index = static_cast<int>(buttons_.size());
    QAction* button = addAction(folder, QString());  // owned by this toolbar
    connect(button, &QAction::triggered, this, [this, index] { emit ButtonClicked(index); });
    buttons_.push_back(button);
  }
  // "&" would mark a shortcut letter in a button's caption.
  for (std::size_t i = 0; i < captions.size(); ++i)
    buttons_[i]->setText(Qs(captions[i]).replace(QLatin1Char('&'), QLatin1String("&&")));
}

QString TPathTbr::Caption(int index) const {
  return buttons_.at(static_cast<std::size_t>(index))
      ->text()
      .replace(QLatin1String("&&"), QLatin1String("&"));
}

void TPathTbr::Click(int index) {
  buttons_.at(static_cast<std::size_t>(index))->trigger();
}

}  // namespace ravelo
