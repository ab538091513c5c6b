#include "ui/about_frm.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/display_texts.h"
#include "ui/qt_text.h"

namespace ravelo {

namespace {

QFrame* Separator(QWidget* parent) {
  auto* line = new QFrame(parent);  // owned by parent
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

QLabel* Wrapped(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);  // owned by parent
  label->setWordWrap(true);
  return label;
}

}  // namespace

TAboutFrm::TAboutFrm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Ravelo"));
  auto* layout = new QVBoxLayout(this);  // owned by this
  layout->setSizeConstraint(QLayout::SetFixedSize);

  auto* product = new QLabel(QStringLiteral("Ravelo"), this);  // owned by this
  product->setObjectName(QStringLiteral("ProductLbl"));
  QFont font(QStringLiteral("Serif"));
  font.setStyleHint(QFont::Serif);
  font.setBold(true);
  font.setPointSize(24);
  product->setFont(font);
  layout->addWidget(product);
  auto* version = new QLabel(Qs(VersionText(RAVELO_VERSION)), this);  // owned by this
  version->setObjectName(QStringLiteral("VersionLbl"));
  layout->addWidget(version);
  layout->addWidget(Separator(this));
  QLabel* first = Wrapped(
      QStringLiteral(
          "Ravelo is an FTP program with one simultaneous view for local and remote folders"),
      this);
  first->setMinimumWidth(340);
  layout->addWidget(first);
  layout->addWidget(Wrapped(
      QStringLiteral("Ravelo keeps track of changes in files to show required updates for local "
                     "and remote copies. It can also automatically update files to server when "
                     "you save them in your favorite editor"),
      this));
  layout->addWidget(Separator(this));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);  // owned by this
  ok->setObjectName(QStringLiteral("OkBtn"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
}

}  // namespace ravelo
