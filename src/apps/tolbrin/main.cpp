// tolbrin: copies Paradox and dBase tables, structure and data, into TARNEL tables. Without
// arguments it opens its window; with them it runs the same transfer in batch mode.
#include <QApplication>
#include <QFileInfo>
#include <string>
#include <vector>

#include "apps/tolbrin/batch_mode.h"
#include "apps/tolbrin/main_window.h"
#include "apps/tolbrin/program_version.h"

int main(int argc, char** argv) {
  using namespace tarnel::tolbrin;
  if (argc > 1) return RunBatchMode(std::vector<std::string>(argv + 1, argv + argc));
  QApplication application(argc, argv);
  tarnel::ui::TInfoVersion info = ProgramVersion();
  QApplication::setApplicationName(QString::fromStdString(info.ProductName));
  QApplication::setApplicationVersion(QString::fromStdString(info.ProductVersion));
  // The help file is the one beside the program with the program's base name.
  QString help = QApplication::applicationDirPath() + "/" +
                 QFileInfo(QApplication::applicationFilePath()).completeBaseName() + ".html";
  TMainForm form(info, help);
  form.show();
  return application.exec();
}
