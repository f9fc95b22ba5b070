// kavex-cli print: the printout of the "&Print" command, written to a PDF file.
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "kavex/cli/commands.h"
#include "kavex/formats/text_file.h"
#include "kavex/platform/paint_device_printer.h"
#include "kavex/shell/data_view.h"
#include "kavex/shell/print_command.h"

namespace kavex::cli {
namespace {

// The page the PDF writer prints on: A4 at 600 dots per inch with half-inch margins.
constexpr int kPdfResolution = 600;
constexpr double kPdfMarginPoints = 36.0;

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kavex-cli print: %s (see kavex-cli --help)\n", problem.c_str());
  return kExitUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return kExitFailure;
}

// The lines of a file as Open shows them in the view.
bool ReadViewLines(const std::string& path, std::vector<std::string>& lines) {
  return ReadDataFileLines(path, lines) == DataFileRead::kRead;
}

int RunPrint(const Args& args) {
  std::string input;
  std::string output;
  std::string chars = "100";
  std::string interval = "1.2";
  bool large = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    if (a == "-o" || a == "--output" || a == "--chars" || a == "--interval") {
      const std::string* v = value();
      if (!v) return Usage(a + " needs a value");
      if (a == "--chars") {
        const std::optional<std::string> accepted = AcceptCharsPerLine(*v);
        if (!accepted) return Failure(kInvalidCharsPerLineMessage);
        chars = *accepted;
      } else if (a == "--interval") {
        const std::optional<std::string> accepted = AcceptLineInterval(*v);
        if (!accepted) return Failure(kInvalidLineIntervalMessage);
        interval = *accepted;
      } else {
        output = *v;
      }
    } else if (a == "--large") {
      large = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else if (!input.empty()) {
      return Usage("more than one input file");
    } else {
      input = a;
    }
  }
  if (input.empty()) return Usage("missing INPUT");
  if (output.empty()) return Usage("missing -o OUTPUT.pdf");

  std::vector<std::string> lines;
  if (!ReadViewLines(input, lines)) return Failure("Fail to open file.");

  // Fonts need a GUI application; no display is needed to draw into a PDF. Qt's own
  // remarks would mix with the program's messages on standard error.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  int argc = 1;
  char name[] = "kavex-cli";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);

  QPdfWriter writer(QString::fromLocal8Bit(output.c_str()));
  writer.setResolution(kPdfResolution);
  writer.setCreator(QStringLiteral("Kavex"));
  writer.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                  QMarginsF(kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints),
                  QPageLayout::Point));
  PaintDevicePrinter printer(writer);
  const PrintSettings settings = ContinuePrintOptions(chars, interval, large);
  if (const std::string note = PrintFitNote(settings, printer); !note.empty())
    std::fprintf(stderr, "kavex-cli: warning: %s\n", note.c_str());
  std::string failure;
  if (!PrintLines(lines, settings, printer, failure)) return Failure(failure);
  return kExitOk;
}

}  // namespace

extern const Command kPrintCommand = {
    "print",
    "kavex-cli print INPUT -o OUTPUT.pdf [--chars N] [--interval X] [--large]\n"
    "    Prints the lines of INPUT as \"&Print\" does, to a PDF file (A4, 600 dpi, half-inch\n"
    "    margins): N characters a row (1 to 255, default 100), line interval X (1.0 to 2.0,\n"
    "    default 1.2), 6-point type or 11-point with --large; smaller type (and a warning)\n"
    "    when the rows would not fit the page's width.",
    RunPrint};

}  // namespace kavex::cli
