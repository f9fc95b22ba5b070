// Times the long operations of the program's window at POINTS points (default 100,000)
// against the same work done alone as the command line does it: Open of a file of the
// largest size Open takes, the conversion of QRX-6 coordinate blocks to NWF lines, the
// DXF export, and a download's lines coming into the view one block at a time. A benchmark, not a
// test: run it by hand on a display or under Xvfb (release build recommended).
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kavex/bench/survey_points.h"
#include "kavex/exports/dxf_export.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/qrx6_to_nwf.h"
#include "kavex/formats/text_file.h"
#include "kavex/formats/text_format.h"
#include "kavex/gui/data_memo.h"
#include "kavex/gui/main_commands.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/tconfirm_dlg.h"
#include "kavex/gui/tcvt_q6to7_dlg.h"
#include "kavex/shell/data_view.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Row {
  const char* name;
  fs::path input;
  std::function<size_t()> alone;  // the work as the command line does it; lines made
  QAction* action;                // the command in the window, or
  std::function<void()> window;   // the window's share of it
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  const fs::path dir = fs::temp_directory_path() / "kavex-window-bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  qputenv("KAVEX_CONFIG_DIR", QByteArray::fromStdString(dir.string()));
  const std::string blocks = kavex::bench::CoordinateBlocks(count);
  const fs::path points = dir / "points.qr6";
  // The largest file Open takes, whole blocks only; on disk each line ends in CR LF.
  const size_t onDisk =
      blocks.size() + static_cast<size_t>(std::count(blocks.begin(), blocks.end(), '\n'));
  std::string largest;
  largest.reserve(static_cast<size_t>(kavex::kDataFileLimit));
  for (size_t size = onDisk; size <= kavex::kDataFileLimit; size += onDisk) largest += blocks;
  const fs::path big = dir / "largest.qr6";
  if (!kavex::WriteTextFile(points, blocks) || !kavex::WriteTextFile(big, largest)) {
    std::fprintf(stderr, "cannot write in %s\n", dir.string().c_str());
    return 1;
  }
  largest.clear();
  largest.shrink_to_fit();

  std::vector<std::string> blockLines;
  kavex::ReadDataFileLines(points, blockLines);

  kavex::TMainForm form(kavex::SettingsPaths{dir / "Kavex.ini", dir / "Kavex.ibk"}, dir.string());
  kavex::MainCommands commands(form);
  form.resize(1000, 700);
  form.show();

  const std::vector<Row> rows = {
      {"open",
       big,
       [&big] {
         std::vector<std::string> lines;
         kavex::ReadDataFileLines(big, lines);
         return lines.size();
       },
       form.OpenItem,
       {}},
      {"nwf",
       points,
       [&points] {
         kavex::TargetCounter counter;
         size_t made = 0;
         kavex::ConvertQrx6FileToNwf(points, {}, counter, [&made](const std::string&) { ++made; });
         return made;
       },
       form.toQRX7008001,
       {}},
      {"dxf",
       points,
       [&points] {
         size_t made = 0;
         kavex::ExportDxf(points, [&made](const std::string&) { ++made; });
         return made;
       },
       form.toDXF,
       {}},
      // A download's share in the window: each block's line added as it arrives, the window
      // kept live between; the line time itself is the same in both.
      {"blocks", points,
       [&blockLines] {
         kavex::MemoryDataView view;
         for (const std::string& line : blockLines) view.AppendLine(line);
         return view.LineCount();
       },
       nullptr,
       [&form, &blockLines] {
         for (const std::string& line : blockLines) {
           form.DataMemo1->AppendLine(line);
           QApplication::processEvents();
         }
       }},
  };

  // Goals: every command within 2x of the same work alone; a download's lines in the window
  // cost less than the line takes to bring them, so the window keeps up with the instrument.
  constexpr double kRatioGoal = 2.0;
  constexpr double kLineShareGoal = 1.0;
  // Below 100,000 points the fixed costs of a window (its dialogs, a repaint) outweigh the
  // work, so the goals are held only from there up.
  const bool judged = count >= 100000;
  bool missed = false;
  std::printf("%d points; seconds\n%-6s %10s %10s %8s %10s\n", count, "row", "alone", "window",
              "ratio", "lines");
  for (const Row& row : rows) {
    auto start = Clock::now();
    const size_t made = row.alone();
    const double aloneSeconds = SecondsSince(start);

    form.DataMemo1->ClearLines();
    form.Logic().SetCurrentFile(row.input.string());
    form.DataMemo1->SetModified(false);
    // The dialog before the work is answered as soon as it is up; the time counts from there.
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* confirm = qobject_cast<kavex::TConfirmDlg*>(modal)) {
        answer.stop();
        start = Clock::now();
        confirm->OkButton->click();
      } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
        answer.stop();
        files->selectFile(QString::fromStdString(row.input.string()));
        start = Clock::now();
        static_cast<QDialog*>(files)->accept();
      } else if (auto* options = qobject_cast<kavex::TCvtQ6to7Dlg*>(modal)) {
        answer.stop();
        start = Clock::now();
        options->accept();
      }
    });
    answer.start();
    start = Clock::now();
    if (row.action) {
      row.action->trigger();
    } else {
      row.window();
    }
    const double windowSeconds = SecondsSince(start);
    // A download's lines cost the command line nothing to keep, so its ratio would say
    // nothing; its share of the line time is printed below instead.
    if (row.action) {
      const double ratio = windowSeconds / aloneSeconds;
      std::printf("%-6s %10.2f %10.2f %8.1f %10zu%s\n", row.name, aloneSeconds, windowSeconds,
                  ratio, form.DataMemo1->LineCount(),
                  judged && ratio > kRatioGoal ? "  MISSED" : "");
      missed = missed || (judged && ratio > kRatioGoal);
    } else {
      std::printf("%-6s %10.2f %10.2f %8s %10zu\n", row.name, aloneSeconds, windowSeconds, "-",
                  form.DataMemo1->LineCount());
    }
    if (form.DataMemo1->LineCount() != made)
      std::printf("       (the command line made %zu lines)\n", made);
    if (!row.action && made > 0) {
      // Downloads are paced by the line: what matters is the window's share against it.
      const double lineSeconds = static_cast<double>(blocks.size() + made) * 10 / 38400;
      std::printf(
          "       %.2f ms a block in the window; %.2f ms a block on the line at 38400 baud "
          "(%.1f %%)\n",
          windowSeconds * 1000 / static_cast<double>(made),
          lineSeconds * 1000 / static_cast<double>(made), 100 * windowSeconds / lineSeconds);
      if (judged && windowSeconds / lineSeconds > kLineShareGoal) {
        std::printf("       MISSED: the window cannot keep up with the line\n");
        missed = true;
      }
    }
  }
  std::printf(
      "goals: window within %.0fx of the work alone; a download's lines in less than "
      "their line time\n%s\n",
      kRatioGoal,
      !judged ? "(held from 100000 points up)" : (missed ? "a goal was missed" : "every goal met"));
  fs::remove_all(dir);
  return missed ? 1 : 0;
}
