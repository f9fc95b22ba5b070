#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "ulvo/gui/about_dlg.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/gui/pictures.h"
#include "ulvo/gui/splash_wnd.h"
#include "ulvo/gui/task_windows.h"
#include "ulvo/platform/program_folder.h"
#include "ulvo/platform/qt_profile_store.h"
#include "ulvo/shell/application.h"

namespace {

constexpr const char* kUsage =
    "Usage: ulvo [--nosplash]\n"
    "       ulvo --help | --version\n\n"
    "Transfers data between surveying instruments and the computer and converts record\n"
    "layouts. --nosplash starts without the start-up picture. The program folder (IIF/,\n"
    "Formats/, help/, ulvo.tft, Settings.xml) is ULVO_HOME when set, else the program's own\n"
    "folder when it holds IIF/ or Formats/, else the per-user data folder.\n";

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
      std::printf("ULVO %s\n", ULVO_FILE_VERSION);
      return 0;
    }
  }
  QApplication application(argc, argv);
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
  QGuiApplication::setDesktopFileName(QStringLiteral("ulvo"));
  QApplication::setWindowIcon(ulvo::ProgramIcon());
  const ulvo::StartOptions options = ulvo::ParseStartOptions(arguments);

  ulvo::QtProfileStore profile;
  ulvo::CDunmarkApp app;
  app.Start(ulvo::ProgramFolder(), &profile);
  ulvo::CMainFrame frame(app);
  ulvo::RegisterTaskWindows(frame);
  frame.showMaximized();
  if (options.showSplash) ulvo::CSplashWnd::ShowSplashScreen(&frame);
  frame.TranslateMenu();
  frame.ShowStartNotices();
  return application.exec();
}
