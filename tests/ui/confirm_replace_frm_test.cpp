#include "ui/confirm_replace_frm.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace ravelo {

namespace {

void SetTime(const std::filesystem::path& path, std::time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

bool Shown(const QDialog& dialog, const char* label) {
  return dialog.findChild<QLabel*>(label)->isVisibleTo(&dialog);
}

}  // namespace

class ConfirmReplaceFrmTest : public QObject {
  Q_OBJECT

 private slots:
  void showsBothEntriesAndMarksTheNewer() {
    test::TTempDir dir;
    SetTime(dir.CreateFile("site/a.txt", std::string(1536, 'x')), 1'800'000'000);
    SetTime(dir.CreateFile("drop/a.txt", "new"), 1'700'000'000);
    TConfirmReplaceFrm dialog;
    QString message;
    QTimer::singleShot(0, &dialog, [&] {
      message = dialog.findChild<QLabel*>("FileNameRed")->text();
      QVERIFY(dialog.findChild<QWidget*>("FileInfoPnl")->isVisible());
      QVERIFY(Shown(dialog, "ExistingNewerLbl"));
      QVERIFY(!Shown(dialog, "ReplacingNewerLbl"));
      QCOMPARE(dialog.findChild<QLabel*>("ExistingSizeLbl")->text(),
               QLocale().toString(1.5) + " KB");
      QCOMPARE(dialog.focusWidget(), dialog.findChild<QPushButton*>("LeaveBtn"));
      dialog.findChild<QPushButton*>("ReplaceAllBtn")->click();
    });
    const auto site = (dir / "site").string();
    QCOMPARE(dialog.Execute(ReadReplaceFacts((dir / "drop/a.txt").string(), site)), raReplaceAll);
    QCOMPARE(message, "A file &quot;<b>a.txt</b>&quot; already exists in folder<br>&quot;" +
                          QString::fromStdString(site) + "&quot;");
  }

  void eachButtonGivesItsAnswerAndEscapeCancels() {
    TConfirmReplaceFrm dialog;
    const std::pair<const char*, TReplaceAnswer> cases[] = {{"ReplaceBtn", raReplace},
                                                            {"ReplaceAllBtn", raReplaceAll},
                                                            {"LeaveBtn", raLeave},
                                                            {"CancelBtn", raCancel},
                                                            {nullptr, raCancel}};
    for (const auto& [button, answer] : cases) {
      dialog.show();
      if (button != nullptr)
        dialog.findChild<QPushButton*>(button)->click();
      else
        QTest::keyClick(&dialog, Qt::Key_Escape);
      QCOMPARE(dialog.Answer(), answer);
    }
  }
};

}  // namespace ravelo

QTEST_MAIN(ravelo::ConfirmReplaceFrmTest)
#include "confirm_replace_frm_test.moc"
