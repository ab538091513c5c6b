#include "ui/about_frm.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace ravelo {

class AboutFrmTest : public QObject {
  Q_OBJECT

 private slots:
  void showsNameAndVersionAndClosesWithOk() {
    TAboutFrm about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Ravelo"));
    QCOMPARE(about.findChild<QLabel*>("VersionLbl")->text(),
             "Version " + QStringLiteral(RAVELO_VERSION).section('.', 0, 1));
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(about.isHidden());
    about.show();
    about.findChild<QPushButton*>("OkBtn")->click();
    QCOMPARE(about.result(), int(QDialog::Accepted));
  }
};

}  // namespace ravelo

QTEST_MAIN(ravelo::AboutFrmTest)
#include "about_frm_test.moc"
