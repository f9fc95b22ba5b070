#include <QApplication>
#include <cstdio>
#include <cstring>

#include "kavex/gui/guarded_application.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/program_icon.h"
#include "kavex/gui/recover_dialog.h"
#include "kavex/gui/splash.h"
#include "kavex/platform/config_paths.h"
#include "kavex/shell/unexpected_error.h"

namespace {

constexpr const char* kUsage =
    "Usage: kavex\n"
    "  or:  kavex --help | --version\n"
    "\n"
    "Kavex downloads measurement data from QRX total stations and HK digital levels over a\n"
    "serial (RS-232) cable, uploads coordinates, point codes and NWF jobs to them, and\n"
    "converts between QRX-6 blocks, NWF text, point and code lists, level-book reports and\n"
    "DXF drawings. kavex-cli does the same work from the command line.\n"
    "\n"
    "Settings are kept in Kavex.ini in the per-user configuration folder (~/.config/Kavex),\n"
    "or in the folder named by the environment variable KAVEX_CONFIG_DIR.\n"
    "\n"
    "A serial port that cannot be opened for lack of permission belongs to a group you are\n"
    "not in, usually dialout: add yourself with 'sudo adduser $USER dialout', then log out\n"
    "and log in again.\n"
    "\n"
    "The manual for surveyors opens from Help > Contents.\n";

}  // namespace

int main(int argc, char* argv[]) {
  // Answered before Qt starts, so no display is needed.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("kavex (Kavex) %s\n", KAVEX_VERSION);
      return 0;
    }
  }
  kavex::GuardedApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kavex"));
  QApplication::setApplicationVersion(QStringLiteral(KAVEX_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral(KAVEX_DESKTOP_ID));
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

  // What fails unforeseen (out of memory with a huge file) is shown; the current data is kept
  // for the next start and the window goes on.
  app.SetHandler([&form](std::exception_ptr error) {
    kavex::MainLogic& logic = form.Logic();
    logic.LeaveBusy();
    std::string problem;
    const std::filesystem::path kept =
        kavex::KeepCurrentDataForRecovery(logic, kavex::KavexCaptureFolder(), problem);
    logic.ShowMessage(
        kavex::UnexpectedErrorMessage(kavex::DescribeException(error), kept, problem));
  });

  form.show();
  // Downloads a crash or a kill interrupted are offered before anything else is done.
  kavex::OfferCaptureRecovery(form.Logic(), kavex::KavexCaptureFolder(), &form);
  return app.Run();
}
