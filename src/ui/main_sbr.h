#pragma once

#include <QStatusBar>

class QLabel;
class QProgressBar;
class QStackedWidget;

namespace ravelo {

// The main window's status bar and its three panels: 0 the connection (a
// picture and a text; a left click asks to connect or disconnect), 1 the
// size of the single selected item, 2 the last error or, during transfers,
// the progress bar. Error texts too long for the panel are cut with an
// ellipsis and shown whole in its tool tip. GUI thread only.
class TMainSbr : public QStatusBar {
  Q_OBJECT

 public:
  static constexpr int kPanelWidth = 120;

  explicit TMainSbr(QWidget* parent = nullptr);

  // Panel 0: no picture without a project.
  enum TLink { lkNone, lkDisconnected, lkConnected };
  void SetConnection(TLink link);
  // The text, and the panel's tool tip (whether the link is encrypted).
  void SetConnectionText(const QString& text, const QString& tool_tip = {});
  void SetSizeText(const QString& text);
  void SetErrorText(const QString& text);
  // Panel 2 shows the progress bar instead of the error while shown.
  void ShowProgress(bool shown);
  void SetProgress(int percent);

  // The panel's text (the whole error text for panel 2).
  QString PanelText(int panel) const;
  QString ConnectionToolTip() const;
  bool ProgressShown() const;
  int Progress() const;

 signals:
  void ConnectionClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowErrorElided();

  QWidget* connection_pnl_;
  QLabel* connection_img_;
  QLabel* connection_lbl_;
  QLabel* size_lbl_;
  QStackedWidget* error_pnl_;
  QLabel* error_lbl_;
  QProgressBar* progress_bar_;
  QString error_;
};

}  // namespace ravelo
