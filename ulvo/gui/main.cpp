#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <string>
#include <vector>

#include "ulvo/gui/about_dlg.h"
#include "ulvo/gui/guarded_application.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/gui/pictures.h"
#include "ulvo/gui/recover_dialog.h"
#include "ulvo/gui/splash_wnd.h"
#include "ulvo/gui/task_windows.h"
#include "ulvo/gui/ui_text.h"
#include "ulvo/platform/program_folder.h"
#include "ulvo/platform/qt_profile_store.h"
#include "ulvo/shell/application.h"
#include "ulvo/shell/unexpected_error.h"

namespace {

constexpr const char* kUsage =
    "Usage: ulvo [--nosplash]\n"
    "  or:  ulvo --help | --version\n\n"
    "Transfers data between surveying instruments and the computer and converts record\n"
    "layouts. --nosplash starts without the start-up picture. ulvo-cli does the same work\n"
    "from the command line.\n\n"
    "The program folder (IIF/, Formats/, help/, ulvo.tft, Settings.xml) is ULVO_HOME when\n"
    "set, else the program's own folder when it holds IIF/ or Formats/, else the per-user\n"
    "folder ~/.local/share/ULVO, filled from the installed copy on first start. Files you\n"
    "change there are yours: a new version of the program never overwrites them.\n\n"
    "A serial port that cannot be opened for lack of permission belongs to a group you are\n"
    "not in, usually dialout: add yourself with 'sudo adduser $USER dialout', then log out\n"
    "and log in again.\n\n"
    "The manual for surveyors opens from Help > Index.\n";

}  // namespace

int main(int argc, char** argv) {
  // --help and --version need no display, so they are answered before Qt starts.
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::printf("ulvo (ULVO) %s\n", ULVO_FILE_VERSION);
      return 0;
    }
  }
  ulvo::GuardedApplication application(argc, argv);
  // Qt has taken its own options (-platform, -style ...) out; the rest must be ours.
  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments().mid(1)) {
    arguments.push_back(argument.toStdString());
    if (argument != QLatin1String("--nosplash")) {
      std::fprintf(stderr, "ulvo: unknown option '%s'\n%s", arguments.back().c_str(), kUsage);
      return 2;
    }
  }
  QCoreApplication::setOrganizationName(QStringLiteral("Varnel Zeruro BV"));
  QCoreApplication::setApplicationName(QStringLiteral("ULVO"));
  QCoreApplication::setApplicationVersion(ulvo::FileVersion());
  QGuiApplication::setDesktopFileName(QStringLiteral(ULVO_DESKTOP_ID));
  QApplication::setWindowIcon(ulvo::ProgramIcon());
  const ulvo::StartOptions options = ulvo::ParseStartOptions(arguments);

  ulvo::QtProfileStore profile;
  ulvo::CDunmarkApp app;
  app.Start(ulvo::ProgramFolder(), &profile);
  ulvo::CMainFrame frame(app);
  ulvo::RegisterTaskWindows(frame);
  // What fails unforeseen (out of memory with a huge file) is shown, the settings are written
  // at once, and the window goes on.
  application.SetHandler([&app, &frame](std::exception_ptr error) {
    app.Exit();
    QMessageBox::critical(&frame, QStringLiteral("ULVO"),
                          ulvo::UiText(frame.Texts(), ulvo::kUnexpectedError)
                              .arg(QString::fromStdString(ulvo::DescribeException(error))));
  });
  frame.showMaximized();
  if (options.showSplash) ulvo::CSplashWnd::ShowSplashScreen(&frame);
  frame.TranslateMenu();
  frame.ShowStartNotices();
  // Receives a crash or a kill interrupted are offered before anything else is done.
  ulvo::OfferCaptureRecovery(frame.Texts(),
                             ulvo::CurrentProgramFolderSources().userDataDir / "Captures", &frame);
  return application.Run();
}
