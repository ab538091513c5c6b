#include "ui/choose_project_frm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "project/project_header.h"
#include "project/project_stream.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"
#include "ui/error_box.h"
#include "ui/project_list.h"
#include "ui/qt_text.h"

namespace ravelo {

// The chooser over a settings file and project folders in a temporary folder.
class ChooseProjectFrmTest : public QObject {
  Q_OBJECT

 private:
  std::string Folder(const char* name) const { return (dir.Path() / name).string(); }
  QString Field(const char* name) const { return dialog->findChild<QLineEdit*>(name)->text(); }
  QComboBox* Folders() const { return dialog->findChild<QComboBox*>("LocalFolderCbx"); }
  QComboBox* Box(const char* name) const { return dialog->findChild<QComboBox*>(name); }
  bool DeleteEnabled() const { return dialog->findChild<QPushButton*>("DeleteBtn")->isEnabled(); }
  // Runs ExecuteChoose(path), doing check, then closing with OK or Cancel.
  int Choose(const std::string& path, const std::function<void()>& check, bool ok) {
    QTimer::singleShot(0, dialog.get(), [&, ok] {
      check();
      ok ? dialog->accept() : dialog->reject();
    });
    return dialog->ExecuteChoose(path);
  }

  test::TTempDir dir;
  std::unique_ptr<TSettingsStore> store;
  std::unique_ptr<TChooseProjectFrm> dialog;
  QStringList errors;

 private slots:
  void init() {
    store = std::make_unique<TSettingsStore>(dir / "settings");
    SaveProjectList(*store, {Folder("known")});
    TProjectWriter project;  // a header and no file records
    TProjectHeader known("known.example:2121", "me", "secret", "/www");
    known.DataMode = dmActive;
    known.TlsMode = tmRequire;
    known.WriteTo(project);
    project.WriteInt32(0);
    dir.CreateFile("known/known.rvlp", project.Bytes());
    SetErrorBox([this](QWidget*, const QString& message) { errors << message; });
    dialog = std::make_unique<TChooseProjectFrm>(*store);
  }
  void cleanup() {
    dialog.reset();
    SetErrorBox({});
    errors.clear();
  }

  void aKnownFolderShowsItsSettingsAndANewOneKeepsThem() {
    QCOMPARE(Choose(
                 Folder("known") + "//",
                 [&] {
                   QCOMPARE(Folders()->currentIndex(), 0);
                   QVERIFY(DeleteEnabled());
                   QCOMPARE(Field("HostEdt"), QStringLiteral("known.example:2121"));
                   QCOMPARE(Field("PasswordEdt"), QStringLiteral("secret"));
                   QCOMPARE(dialog->findChild<QLineEdit*>("PasswordEdt")->echoMode(),
                            QLineEdit::Password);
                   Folders()->setEditText(Qs(Folder("new")));
                   QVERIFY(!DeleteEnabled());
                   QCOMPARE(Field("LoginEdt"), QStringLiteral("me"));
                 },
                 true),
             int(QDialog::Accepted));
    QCOMPARE(dialog->GetProjectFileName(), Folder("new") + "/new.rvlp");
    QCOMPARE(LoadProjectList(*store), (std::vector<std::string>{Folder("known"), Folder("new")}));
    QVERIFY(errors.isEmpty());
  }

  void theModesAreShownAndWrittenAndAnotherHostForgetsTheCertificate() {
    QCOMPARE(Box("DataModeCbx")->currentText(), QStringLiteral("Automatic"));  // a new project
    QCOMPARE(Box("TlsModeCbx")->currentText(), QStringLiteral("Use TLS if offered"));
    Choose(
        Folder("known"),
        [&] {
          QCOMPARE(Box("DataModeCbx")->currentText(), QStringLiteral("Active"));
          QCOMPARE(Box("TlsModeCbx")->currentText(), QStringLiteral("Require TLS"));
          Box("DataModeCbx")->setCurrentText(QStringLiteral("Passive"));
          Box("TlsModeCbx")->setCurrentText(QStringLiteral("Plain FTP"));
        },
        true);
    TProjectHeader old("known.example:2121", "me", "secret", "/www");
    old.AcceptedFingerprint = std::string(64, 'A');
    old.TlsOffered = true;
    for (const auto& [host, kept] :
         {std::pair{"known.example:2121", true}, {"other.example", false}}) {
      dialog->findChild<QLineEdit*>("HostEdt")->setText(QString::fromUtf8(host));
      const TProjectHeader settings = dialog->Settings(old);
      QCOMPARE(settings.DataMode, dmPassive);
      QCOMPARE(settings.TlsMode, tmPlain);
      QCOMPARE(settings.AcceptedFingerprint, kept ? old.AcceptedFingerprint : std::string());
      QCOMPARE(settings.TlsOffered, kept);
    }
  }

  void cancelStoresNothingAndDeleteForgets() {
    Choose(
        Folder("other"), [] {}, false);
    QCOMPARE(LoadProjectList(*store), std::vector<std::string>{Folder("known")});
    dialog->DeleteProject(Folder("known") + "/");
    QCOMPARE(LoadProjectList(*store), std::vector<std::string>{});
    QCOMPARE(Field("HostEdt"), QString());
  }

  void aTruncatedProjectFileIsReported() {
    dir.CreateFile("broken/broken.rvlp", std::string("\x05\0\0\0ab", 6));
    Choose(
        Folder("broken"), [] {}, false);
    QCOMPARE(errors, QStringList{QStringLiteral("Неверный Формат Проекта")});
  }
};

}  // namespace ravelo

QTEST_MAIN(ravelo::ChooseProjectFrmTest)
#include "choose_project_frm_test.moc"
