#include "ui/main_sbr.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStackedWidget>

#include "ui/action_images.h"

namespace ravelo {

namespace {

constexpr int kImageSize = 16;

}  // namespace

TMainSbr::TMainSbr(QWidget* parent) : QStatusBar(parent) {
  setObjectName(QStringLiteral("MainSbr"));
  setSizeGripEnabled(true);

  connection_pnl_ = new QWidget(this);  // owned by this
  connection_pnl_->setObjectName(QStringLiteral("ConnectionPnl"));
  // Wider when it tells a plain connection.
  connection_pnl_->setMinimumWidth(kPanelWidth);
  connection_pnl_->setCursor(Qt::PointingHandCursor);
  connection_pnl_->installEventFilter(this);
  auto* row = new QHBoxLayout(connection_pnl_);  // owned by the panel
  row->setContentsMargins(1, 1, 1, 1);
  row->setSpacing(5);
  connection_img_ = new QLabel(connection_pnl_);  // owned by the panel
  connection_img_->setFixedSize(kImageSize, kImageSize);
  connection_lbl_ = new QLabel(connection_pnl_);  // owned by the panel
  row->addWidget(connection_img_);
  row->addWidget(connection_lbl_, 1);
  addWidget(connection_pnl_);

  size_lbl_ = new QLabel(this);  // owned by this
  size_lbl_->setObjectName(QStringLiteral("SizeLbl"));
  size_lbl_->setMinimumWidth(kPanelWidth);
  addWidget(size_lbl_);

  // The error panel takes the width left: an error is read there.
  error_pnl_ = new QStackedWidget(this);  // owned by this
  error_pnl_->setMinimumWidth(kPanelWidth);
  error_lbl_ = new QLabel(error_pnl_);  // owned by the stack
  error_lbl_->setObjectName(QStringLiteral("ErrorLbl"));
  error_lbl_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  error_lbl_->setMinimumWidth(1);
  error_lbl_->installEventFilter(this);
  progress_bar_ = new QProgressBar(error_pnl_);  // owned by the stack
  progress_bar_->setObjectName(QStringLiteral("ProgressBar"));
  progress_bar_->setRange(0, 100);
  progress_bar_->setMaximumHeight(fontMetrics().height() + 4);
  error_pnl_->addWidget(error_lbl_);
  error_pnl_->addWidget(progress_bar_);
  addWidget(error_pnl_, 1);
  SetConnection(lkNone);
}

void TMainSbr::SetConnection(TLink link) {
  connection_img_->setPixmap(
      link == lkNone ? QPixmap()
                     : ConnectionImage(link == lkConnected).pixmap(kImageSize, kImageSize));
}

void TMainSbr::SetConnectionText(const QString& text, const QString& tool_tip) {
  connection_lbl_->setText(text);
  connection_pnl_->setToolTip(tool_tip);
}

void TMainSbr::SetSizeText(const QString& text) {
  size_lbl_->setText(text);
}

void TMainSbr::SetErrorText(const QString& text) {
  error_ = text;
  error_lbl_->setToolTip(text);
  ShowErrorElided();
}

void TMainSbr::ShowProgress(bool shown) {
  error_pnl_->setCurrentWidget(shown ? static_cast<QWidget*>(progress_bar_) : error_lbl_);
}

void TMainSbr::SetProgress(int percent) {
  progress_bar_->setValue(percent);
}

QString TMainSbr::PanelText(int panel) const {
  switch (panel) {
    case 0:
      return connection_lbl_->text();
    case 1:
      return size_lbl_->text();
    default:
      return error_;
  }
}

QString TMainSbr::ConnectionToolTip() const {
  return connection_pnl_->toolTip();
}

bool TMainSbr::ProgressShown() const {
  return error_pnl_->currentWidget() == progress_bar_;
}

int TMainSbr::Progress() const {
  return progress_bar_->value();
}

bool TMainSbr::eventFilter(QObject* watched, QEvent* event) {
  if (watched == connection_pnl_ && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
    emit ConnectionClicked();
  if (watched == error_lbl_ && event->type() == QEvent::Resize) ShowErrorElided();
  return QStatusBar::eventFilter(watched, event);
}

void TMainSbr::ShowErrorElided() {
  error_lbl_->setText(
      error_lbl_->fontMetrics().elidedText(error_, Qt::ElideRight, error_lbl_->width() - 4));
}

}  // namespace ravelo
