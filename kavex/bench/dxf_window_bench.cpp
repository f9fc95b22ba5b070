// Times the DXF export of POINTS points (default 100,000) in the program's window, with its
// progress window and repainting, against the export alone as kavex-cli runs it. A
// benchmark, not a test: run it by hand, on a display or under Xvfb (release build
// recommended).
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kavex/bench/survey_points.h"
#include "kavex/exports/dxf_export.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"
#include "kavex/gui/data_memo.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/tconfirm_dlg.h"

namespace fs = std::filesystem;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  const fs::path dir = fs::temp_directory_path() / "kavex-dxf-window-bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  qputenv("KAVEX_CONFIG_DIR", QByteArray::fromStdString(dir.string()));
  const fs::path input = dir / "points.qr6";
  if (!kavex::WriteTextFile(input, kavex::bench::CoordinateBlocks(count))) {
    std::fprintf(stderr, "cannot write %s\n", input.string().c_str());
    return 1;
  }

  auto start = std::chrono::steady_clock::now();
  size_t alone = 0;
  kavex::ExportDxf(input, [&alone](const std::string&) { ++alone; });
  const double aloneSeconds = SecondsSince(start);

  kavex::TMainForm form(kavex::SettingsPaths{dir / "Kavex.ini", dir / "Kavex.ibk"}, dir.string());
  kavex::MainCommands commands(form);
  form.show();
  form.Logic().SetCurrentFile(input.string());
  form.DataMemo1->SetModified(false);
  // "OK" in the confirmation as soon as it is up; the time counts from there.
  QTimer confirm;
  confirm.setInterval(5);
  QObject::connect(&confirm, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<kavex::TConfirmDlg*>(QApplication::activeModalWidget())) {
      confirm.stop();
      start = std::chrono::steady_clock::now();
      dialog->OkButton->click();
    }
  });
  confirm.start();
  form.toDXF->trigger();
  const double windowSeconds = SecondsSince(start);

  std::printf("%d points, %zu drawing lines\n", count, form.DataMemo1->LineCount());
  std::printf("export alone:     %8.2f s (%zu lines)\n", aloneSeconds, alone);
  std::printf("export in window: %8.2f s\n", windowSeconds);
  fs::remove_all(dir);
  return 0;
}
