#include "ui/extensions_frm.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "settings/extensions.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"
#include "ui/error_box.h"

namespace ravelo {

class ExtensionsFrmTest : public QObject {
  Q_OBJECT

 private:
  template <class T>
  T* Get(const char* name) {
    return dialog->findChild<T*>(name);
  }
  QListWidget* List() { return Get<QListWidget>("ListBox1"); }
  QString SelectedEntry() {
    return List()->currentItem() != nullptr ? List()->currentItem()->text() : QString();
  }
  void Type(const QString& text) {
    QTest::keyClicks(Get<QLineEdit>("ExtEdt"), text);
    QTest::keyClick(Get<QLineEdit>("ExtEdt"), Qt::Key_Return);
  }
  void Select(const QString& entry) {
    List()->setCurrentItem(List()->findItems(entry, Qt::MatchExactly).value(0));
  }

  std::unique_ptr<test::TTempDir> dir;
  std::unique_ptr<TSettingsStore> store;
  std::unique_ptr<TExtensions> extensions;
  std::unique_ptr<TExtensionsFrm> dialog;
  QStringList errors;

 private slots:
  void init() {
    dir = std::make_unique<test::TTempDir>();
    store = std::make_unique<TSettingsStore>(*dir / "settings");
    extensions = std::make_unique<TExtensions>();
    dialog = std::make_unique<TExtensionsFrm>();
    dialog->SetSettings(*extensions, *store);
    errors.clear();
    SetErrorBox([this](QWidget*, const QString& message) { errors << message; });
    dialog->show();
  }
  void cleanup() { SetErrorBox({}); }

  void editsSaveAndReload() {
    QCOMPARE(List()->count(), 20);
    QCOMPARE(SelectedEntry(), QStringLiteral("TXT"));
    QVERIFY(Get<QRadioButton>("DefaultRbt")->isChecked());
    QVERIFY(!Get<QLineEdit>("AppEdt")->isEnabled());

    Type(QStringLiteral(".md"));  // the dot is dropped
    QCOMPARE(SelectedEntry(), QStringLiteral("md"));
    QVERIFY(Get<QLineEdit>("ExtEdt")->text().isEmpty());
    QVERIFY(Get<QRadioButton>("BinaryTransferRbt")->isChecked());
    QVERIFY(Get<QRadioButton>("DefaultRbt")->isChecked());
    Get<QRadioButton>("CustomAppRbt")->click();
    QVERIFY(Get<QLineEdit>("AppEdt")->isEnabled());
    QTest::keyClicks(Get<QLineEdit>("AppEdt"), "/usr/bin/kate");
    Get<QRadioButton>("TextTransferRbt")->click();

    Select(QStringLiteral("EXE"));
    QTest::keyClick(List(), Qt::Key_Delete);
    QCOMPARE(SelectedEntry(), QStringLiteral("PIF"));
    QVERIFY(Get<QRadioButton>("NoneRbt")->isChecked());

    Get<QPushButton>("Button1")->click();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    TExtensions reloaded;
    reloaded.Load(*store);
    QCOMPARE(reloaded.Count(), 20);
    QCOMPARE(reloaded.IndexOf("exe"), -1);
    const TExtension md = reloaded.Find("MD");
    QCOMPARE(md.Extension, std::string("md"));
    QCOMPARE(md.TransferType, ftASCII);
    QCOMPARE(md.OpenType, otCustom);
    QCOMPARE(md.Command, std::string("/usr/bin/kate"));
    QVERIFY(errors.isEmpty());
  }

  void refusesWhatTheStoreCannotKeepAndDuplicates() {
    auto* edit = Get<QLineEdit>("ExtEdt");
    QTest::keyClicks(edit, " a\\b ");
    QCOMPARE(edit->text(), QStringLiteral(" ab "));  // "\" cannot be typed
    edit->setText(QStringLiteral(" . "));
    QVERIFY(!Get<QPushButton>("AddBtn")->isEnabled());
    edit->clear();
    Type(QStringLiteral("php"));  // known already: selected, not added
    QCOMPARE(SelectedEntry(), QStringLiteral("PHP"));
    QCOMPARE(extensions->Count(), 20);
    QVERIFY(dialog->isVisible());  // Enter did not close the dialog
  }

  void cancelWritesNothingButKeepsTheEdits() {
    Get<QRadioButton>("NoneRbt")->click();
    Get<QPushButton>("Button2")->click();
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!store->KeyExists(TExtensions::kExtensionsKey));
    QCOMPARE(extensions->Find("TXT").OpenType, otNone);
  }

  void aFailedSaveIsShownAndTheDialogStillCloses() {
    dir->CreateFile("blocked", "a file where the settings folder should be");
    TSettingsStore blocked(*dir / "blocked" / "settings");
    dialog->SetSettings(*extensions, blocked);
    Get<QPushButton>("Button1")->click();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].startsWith("Can't Access Registry To Write Extensions Data\n"));
  }
};

}  // namespace ravelo

QTEST_MAIN(ravelo::ExtensionsFrmTest)
#include "extensions_frm_test.moc"
