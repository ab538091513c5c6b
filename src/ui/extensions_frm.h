#pragma once

#include <QDialog>

class QButtonGroup;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace ravelo {

class TExtensions;
class TSettingsStore;

// The extensions dialog: the list of known file name extensions and, for
// the selected one, its transfer type, what opening a file does and the
// program that opens it. Every edit changes the open project's settings at
// once; OK also writes the whole list to the settings store (a failed write
// is shown and the dialog still closes), Cancel writes nothing. An
// extension is typed without its dot (a leading one is dropped) and may not
// hold "\", which the store cannot keep. GUI thread only.
class TExtensionsFrm : public QDialog {
  Q_OBJECT

 public:
  explicit TExtensionsFrm(QWidget* parent = nullptr);

  // Edits these settings from now on; both outlive their use here.
  void SetSettings(TExtensions& extensions, TSettingsStore& store);
  // SetSettings, then shows the dialog modally.
  int Execute(TExtensions& extensions, TSettingsStore& store);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The handlers, named after the element and event they serve.
  void FormActivate();
  void ListBox1Click();
  void TransferTypeRgpClick();
  void OpenRbtClick();
  void AppEdtChange();
  void ExtEdtChange();
  void AddBtnClick();
  void ListBox1Delete();
  void Button1Click();
  // The extension of the selected entry; empty when none is selected.
  QString Selected() const;

  TExtensions* extensions_ = nullptr;
  TSettingsStore* store_ = nullptr;
  QListWidget* list_box1_;
  QLineEdit* ext_edt_;
  QPushButton* add_btn_;
  QButtonGroup* transfer_type_;
  QRadioButton* default_rbt_;
  QRadioButton* custom_app_rbt_;
  QRadioButton* none_rbt_;
  QLineEdit* app_edt_;
};

}  // namespace ravelo
