#include "ui/progress_frm.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

#include "shell/drop_job.h"
#include "support/temp_dir.h"
#include "ui/confirm_replace_frm.h"
#include "ui/qt_main_thread.h"

namespace ravelo {

// A drop of a.txt (which the site holds already) and b.txt, run by a real
// TDropJob with the dialogs as its feedback. When the replace question
// shows, OnQuestion acts as the user would.
class ProgressFrmTest : public QObject {
  Q_OBJECT

 private:
  std::optional<TDropOutcome> Drop(const std::function<void()>& on_question) {
    test::TTempDir& dir = *dir_;
    dir.CreateFile("site/a.txt", "old");
    TDropRequest request{{dir.CreateFile("drop/a.txt", "new!").string(),
                          dir.CreateFile("drop/b.txt", "bb").string()},
                         (dir / "site").string(),
                         true};
    QTimer user;  // looks for the question as the user would
    connect(&user, &QTimer::timeout, this, [&] {
      if (!confirm.isVisible()) return;
      user.stop();
      on_question();
    });
    user.start(5);
    std::optional<TDropOutcome> outcome;
    TDropJob job(request, progress, [&](const TDropOutcome& end) { outcome = end; });
    [&] { QTRY_VERIFY(outcome.has_value()); }();
    return outcome;
  }

  TQtMainThread main_thread;
  std::unique_ptr<test::TTempDir> dir_;
  TConfirmReplaceFrm confirm;
  TProgressFrm progress{confirm};

 private slots:
  void init() { dir_ = std::make_unique<test::TTempDir>(); }

  void showsTheCopyAndAsksBeforeReplacing() {
    const test::TTempDir& dir = *dir_;
    bool shown_while_asked = false;
    const auto outcome = Drop([&] {
      shown_while_asked = progress.isVisible();
      confirm.findChild<QPushButton*>("ReplaceBtn")->click();
    });
    QCOMPARE(outcome->Result, drDone);
    QCOMPARE(dir.ReadFile("site/a.txt"), std::string("new!"));
    QCOMPARE(dir.ReadFile("site/b.txt"), std::string("bb"));
    QVERIFY(shown_while_asked);
    QCOMPARE(progress.windowTitle(), QStringLiteral("Copying..."));
    QCOMPARE(progress.findChild<QProgressBar*>("ProgressBar1")->value(), 100);
    QCOMPARE(progress.findChild<QWidget*>("FileNameLbl")->toolTip(),
             QString::fromStdString((dir / "drop/b.txt").string()));
    QVERIFY(progress.isHidden());
  }

  // What Cancel does to the drop is TDropJob's; the dialog only asks for it.
  void cancelAsksToStopAndHides() {
    progress.Start("Copying...", 10);
    int asked = 0;
    connect(&progress, &TProgressFrm::CancelRequested, this, [&] { ++asked; });
    QTest::keyClick(&progress, Qt::Key_Escape);
    QCOMPARE(asked, 1);
    QVERIFY(progress.isHidden());
  }
};

}  // namespace ravelo

QTEST_MAIN(ravelo::ProgressFrmTest)
#include "progress_frm_test.moc"
