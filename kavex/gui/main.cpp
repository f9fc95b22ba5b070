#include <QApplication>

#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/program_icon.h"
#include "kavex/gui/splash.h"
#include "kavex/platform/config_paths.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kavex"));
  QApplication::setApplicationVersion(QStringLiteral("1.3"));
  QApplication::setWindowIcon(kavex::ProgramIcon());

  auto* splash = new kavex::TSplash;
  splash->show();
  QApplication::processEvents();
  splash->StartWait();
  kavex::TMainForm form(kavex::KavexSettingsPaths(), kavex::DefaultDataDir());
  kavex::MainCommands commands(form);
  splash->HoldFor(3000);
  splash->close();
  delete splash;

  form.show();
  return QApplication::exec();
}
