// ravelo [PROJECT_FILE]: the program's window over one project.

#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ui/desktop_registration.h"
#include "ui/file_icons.h"
#include "ui/folder_frm.h"
#include "ui/qt_main_thread.h"
#include "ui/ready_probe.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 2 ||
      (arguments.size() == 2 && arguments[1].startsWith(QLatin1Char('-')))) {
    std::fprintf(stderr, "usage: ravelo [PROJECT_FILE]\n");
    return 2;
  }
  ravelo::TQtMainThread main_thread;
  ravelo::EnsureIconTheme();
  try {
    ravelo::RegisterProjectFileType(QApplication::applicationFilePath().toStdString());
  } catch (const std::exception&) {
    // The desktop then does not know project files; the program works on.
  }

  ravelo::TFolderFrm window;
  window.show();
  std::string project_file;
  if (arguments.size() == 2)
    project_file = std::filesystem::absolute(arguments[1].toStdString()).string();
  if (!window.Start(project_file)) return 0;
  if (const QString shot = qEnvironmentVariable("RAVELO_READY_SCREENSHOT"); !shot.isEmpty())
    ravelo::InstallReadyProbe(window, shot);
  return QApplication::exec();
}
