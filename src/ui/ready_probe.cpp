#include "ui/ready_probe.h"

#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "model/waiter.h"
#include "ui/folder_frm.h"
#include "ui/qt_text.h"

namespace ravelo {

void InstallReadyProbe(TFolderFrm& window, const QString& screenshot) {
  auto* timer = new QTimer(&window);  // owned by the window
  timer->setInterval(100);
  QObject::connect(timer, &QTimer::timeout, &window, [&window, timer, screenshot] {
    if (window.StrategyKind() != skConnected || window.Files().rowCount() == 0 ||
        TWaiter::LiveCount() > 0)
      return;
    timer->stop();
    window.grab().save(screenshot, "PNG");
    std::string captions;
    TFileListModel& files = window.Files();
    for (int row = 0; row < files.rowCount(); ++row) {
      const TNodeFacts& facts = *files.FactsAt(files.index(row, 0));
      captions += (captions.empty() ? "" : ", ") + facts.Name;
      if (!facts.Folder) captions += " (" + StateText(facts.State) + ")";
    }
    std::printf("ravelo: ready: %s\n", captions.c_str());
    std::fflush(stdout);
    window.close();
  });
  timer->start();
}

}  // namespace ravelo
