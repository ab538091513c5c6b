#include "ui/extensions_frm.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "settings/extension_error.h"
#include "settings/extensions.h"
#include "settings/settings_store.h"
#include "ui/error_box.h"
#include "ui/qt_text.h"

namespace ravelo {

namespace {

template <class TWidget>
TWidget* Named(TWidget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// What the user typed, as an extension: without blanks around it and
// without a leading dot, which ExtractExtension never yields.
QString ExtensionFromInput(const QString& text) {
  QString extension = text.trimmed();
  if (extension.startsWith(QLatin1Char('.'))) extension.remove(0, 1);
  return extension;
}

bool Acceptable(const QString& extension) {
  return !extension.isEmpty() && !extension.contains(QLatin1Char('\\'));
}

}  // namespace

TExtensionsFrm::TExtensionsFrm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Расширения файлов"));
  auto* layout = new QVBoxLayout(this);  // owned by this
  auto* columns = new QHBoxLayout;       // owned by layout below
  layout->addLayout(columns);

  auto* left = new QVBoxLayout;  // owned by columns below
  columns->addLayout(left, 3);
  list_box1_ = Named(new QListWidget(this), "ListBox1");  // owned by this
  list_box1_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_box1_->installEventFilter(this);
  left->addWidget(list_box1_);
  auto* add_row = new QHBoxLayout;  // owned by left below
  left->addLayout(add_row);
  ext_edt_ = Named(new QLineEdit(this), "ExtEdt");  // owned by this
  // The store keeps extensions as key names, which cannot hold "\".
  ext_edt_->setValidator(new QRegularExpressionValidator(  // owned by ext_edt_
      QRegularExpression(QStringLiteral("[^\\\\]*")), ext_edt_));
  ext_edt_->installEventFilter(this);
  add_row->addWidget(ext_edt_, 1);
  add_btn_ = Named(new QPushButton(QStringLiteral("Добавить"), this), "AddBtn");  // owned by this
  add_btn_->setEnabled(false);
  add_btn_->setAutoDefault(false);
  add_row->addWidget(add_btn_);

  auto* right = new QVBoxLayout;  // owned by columns below
  columns->addLayout(right, 5);
  auto* transfer_box =
      Named(new QGroupBox(QStringLiteral("Передача"), this), "TransferTypeRgp");  // owned by this
  auto* transfer_layout = new QVBoxLayout(transfer_box);  // owned by transfer_box
  transfer_type_ = new QButtonGroup(this);                // owned by this
  const struct {
    const char* name;
    const char* caption;
  } kTransferItems[] = {{"TextTransferRbt", "Текстовый"}, {"BinaryTransferRbt", "Двочиный"}};
  for (int index = 0; index < 2; ++index) {
    auto* item = Named(new QRadioButton(QString::fromUtf8(kTransferItems[index].caption),
                                        transfer_box),  // owned by transfer_box
                       kTransferItems[index].name);
    transfer_type_->addButton(item, index);
    transfer_layout->addWidget(item);
  }
  transfer_type_->button(0)->setChecked(true);
  right->addWidget(transfer_box);

  auto* open_box =
      Named(new QGroupBox(QStringLiteral("Открытие Файла"), this), "OpenTypeGrp");  // owned by this
  auto* open_layout = new QVBoxLayout(open_box);  // owned by open_box
  default_rbt_ =
      Named(new QRadioButton(QStringLiteral("Программа По Умолчанию"), open_box), "DefaultRbt");
  custom_app_rbt_ =
      Named(new QRadioButton(QStringLiteral("Другая Программа"), open_box), "CustomAppRbt");
  app_edt_ = Named(new QLineEdit(open_box), "AppEdt");
  none_rbt_ = Named(new QRadioButton(QStringLiteral("Не Открывать"), open_box), "NoneRbt");
  default_rbt_->setChecked(true);
  open_layout->addWidget(default_rbt_);
  open_layout->addWidget(custom_app_rbt_);
  auto* indented = new QHBoxLayout;  // owned by open_layout below
  indented->addSpacing(20);
  indented->addWidget(app_edt_);
  open_layout->addLayout(indented);
  open_layout->addWidget(none_rbt_);
  right->addWidget(open_box);
  right->addStretch();

  auto* buttons = new QHBoxLayout;  // owned by layout below
  layout->addLayout(buttons);
  buttons->addStretch();
  auto* ok = Named(new QPushButton(QStringLiteral("OK"), this), "Button1");  // owned by this
  ok->setDefault(true);
  auto* cancel =
      Named(new QPushButton(QStringLiteral("Отмена"), this), "Button2");  // owned by this
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  setFixedSize(397, 319);

  connect(list_box1_, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
  connect(transfer_type_, &QButtonGroup::idClicked, this, [this] { TransferTypeRgpClick(); });
  for (QRadioButton* choice : {default_rbt_, custom_app_rbt_, none_rbt_})
    connect(choice, &QRadioButton::clicked, this, [this] { OpenRbtClick(); });
  connect(app_edt_, &QLineEdit::textEdited, this, [this] { AppEdtChange(); });
  connect(ext_edt_, &QLineEdit::textChanged, this, [this] { ExtEdtChange(); });
  connect(add_btn_, &QPushButton::clicked, this, [this] { AddBtnClick(); });
  connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  OpenRbtClick();
}

void TExtensionsFrm::SetSettings(TExtensions& extensions, TSettingsStore& store) {
  extensions_ = &extensions;
  store_ = &store;
}

int TExtensionsFrm::Execute(TExtensions& extensions, TSettingsStore& store) {
  SetSettings(extensions, store);
  return exec();
}

void TExtensionsFrm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

bool TExtensionsFrm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    // Enter in the edit field adds the extension and never closes the dialog.
    if (watched == ext_edt_ && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
      if (add_btn_->isEnabled()) AddBtnClick();
      return true;
    }
    if (watched == list_box1_ && key == Qt::Key_Delete) {
      ListBox1Delete();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TExtensionsFrm::FormActivate() {
  const QSignalBlocker quiet(list_box1_);
  list_box1_->clear();
  if (extensions_ == nullptr) return;
  for (const TExtension& item : extensions_->ItemList()) list_box1_->addItem(Qs(item.Extension));
  if (list_box1_->count() > 0) list_box1_->setCurrentRow(0);
  ListBox1Click();
}

QString TExtensionsFrm::Selected() const {
  const QListWidgetItem* item = list_box1_->currentItem();
  return item != nullptr && item->isSelected() ? item->text() : QString();
}

void TExtensionsFrm::ListBox1Click() {
  const QString selected = Selected();
  if (selected.isEmpty() || extensions_ == nullptr) return;
  ReportErrors(this, [&] {
    const TExtension item = extensions_->Find(Std(selected));
    if (item.TransferType == ftASCII) transfer_type_->button(0)->setChecked(true);
    if (item.TransferType == ftBinary) transfer_type_->button(1)->setChecked(true);
    QRadioButton* open[] = {default_rbt_, custom_app_rbt_, none_rbt_};
    if (item.OpenType <= otNone) open[item.OpenType]->setChecked(true);
    OpenRbtClick();
    app_edt_->setText(Qs(item.Command));
  });
}

void TExtensionsFrm::TransferTypeRgpClick() {
  const QString selected = Selected();
  if (selected.isEmpty()) return;
  ReportErrors(this, [&] {
    extensions_->SetTransferType(Std(selected),
                                 transfer_type_->checkedId() == 0 ? ftASCII : ftBinary);
  });
}

void TExtensionsFrm::OpenRbtClick() {
  app_edt_->setEnabled(custom_app_rbt_->isChecked());
  const QString selected = Selected();
  if (selected.isEmpty()) return;
  const TOpenType type = custom_app_rbt_->isChecked() ? otCustom
                         : none_rbt_->isChecked()     ? otNone
                                                      : otDefault;
  ReportErrors(this, [&] { extensions_->SetOpenType(Std(selected), type); });
}

void TExtensionsFrm::AppEdtChange() {
  const QString selected = Selected();
  if (selected.isEmpty()) return;
  ReportErrors(this, [&] { extensions_->SetCommand(Std(selected), Std(app_edt_->text())); });
}

void TExtensionsFrm::ExtEdtChange() {
  add_btn_->setEnabled(Acceptable(ExtensionFromInput(ext_edt_->text())));
}

void TExtensionsFrm::AddBtnClick() {
  const QString extension = ExtensionFromInput(ext_edt_->text());
  if (!Acceptable(extension) || extensions_ == nullptr) return;
  try {
    extensions_->Add(Std(extension), ftBinary, "", otDefault);
    list_box1_->addItem(extension);
  } catch (const EDuplicateExtension&) {
    // Already known: its entry becomes the selected one.
  }
  for (int row = 0; row < list_box1_->count(); ++row) {
    if (list_box1_->item(row)->text().compare(extension, Qt::CaseInsensitive) == 0) {
      list_box1_->setCurrentRow(row);
      break;
    }
  }
  ListBox1Click();
  ext_edt_->clear();
}

void TExtensionsFrm::ListBox1Delete() {
  const QString selected = Selected();
  if (selected.isEmpty()) return;
  if (!ReportErrors(this, [&] { extensions_->Remove(Std(selected)); })) return;
  const int row = list_box1_->currentRow();
  {
    const QSignalBlocker quiet(list_box1_);
    delete list_box1_->takeItem(row);
    if (list_box1_->count() > 0) list_box1_->setCurrentRow(std::min(row, list_box1_->count() - 1));
  }
  ListBox1Click();
}

void TExtensionsFrm::Button1Click() {
  if (extensions_ != nullptr && store_ != nullptr)
    ReportErrors(this, [&] { extensions_->Save(*store_); });
  accept();
}

}  // namespace ravelo
