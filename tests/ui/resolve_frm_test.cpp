#include "ui/resolve_frm.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "model/nullable.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo {

class ResolveFrmTest : public QObject {
  Q_OBJECT

 private slots:
  void eachButtonGivesItsAnswerAndEscapeCancels() {
    TResolveFrm dialog;
    const std::pair<const char*, TResolveResult> cases[] = {{"DeleteLocalBtn", rrDeleteLocal},
                                                            {"MarkSynchronizedBtn", rrIdentical},
                                                            {"MakeCopiesBtn", rrCopy},
                                                            {"CancelBtn", rrCancel},
                                                            {nullptr, rrCancel}};
    for (const auto& [button, answer] : cases) {
      dialog.show();
      QCOMPARE(dialog.focusWidget(), dialog.findChild<QPushButton*>("CancelBtn"));
      if (button != nullptr)
        dialog.findChild<QPushButton*>(button)->click();
      else
        QTest::keyClick(&dialog, Qt::Key_Escape);
      QCOMPARE(dialog.Answer(), answer);
      QVERIFY(dialog.isHidden());
    }
  }

  void executeShowsTheFileAndRefusesUnknownTimes() {
    auto root = std::make_unique<TSynFolder>(nullptr, "");
    TSynFile& file = root->MakeChild<TSynFile>("a<b>.html");
    TResolveFrm dialog;
    QVERIFY_THROWS_EXCEPTION(ETimeUndefined, dialog.Execute(file));
    QVERIFY(dialog.isHidden());

    file.SetLocalTime(46000.5);
    file.SetLocalSize(1536);
    file.SetRemoteTime(46000.75);
    file.SetRemoteSize(0);
    QString question;
    QTimer::singleShot(0, &dialog, [&] {
      question = dialog.findChild<QLabel*>("FileNameRed")->text();
      QCOMPARE(dialog.findChild<QLabel*>("LocalSizeLbl")->text(), QLocale().toString(1.5) + " KB");
      QCOMPARE(dialog.findChild<QLabel*>("RemoteSizeLbl")->text(), QStringLiteral("0 KB"));
      QVERIFY(!dialog.findChild<QLabel*>("RemoteDateLbl")->text().isEmpty());
      dialog.findChild<QPushButton*>("MarkSynchronizedBtn")->click();
    });
    QCOMPARE(dialog.Execute(file), rrIdentical);
    QCOMPARE(question, QStringLiteral("Ravelo cannot detect automatically if remote or local file "
                                      "&quot;<b>a&lt;b&gt;.html</b>&quot; is newer."));
    TNode::ReleaseRoot(std::move(root));
  }
};

}  // namespace ravelo

QTEST_MAIN(ravelo::ResolveFrmTest)
#include "resolve_frm_test.moc"
