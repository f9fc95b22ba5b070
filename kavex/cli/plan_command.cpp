// kavex-cli plan: the plan of a file's points as an SVG, PNG or PDF sheet.
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "kavex/cli/commands.h"
#include "kavex/exports/plan_drawing.h"
#include "kavex/formats/number_text.h"
#include "kavex/formats/replace_file.h"
#include "kavex/platform/plan_painter.h"
#include "kavex/shell/data_view.h"

namespace kavex::cli {
namespace {

constexpr const char* kName = "kavex-cli plan";
constexpr long kMaxScale = 100'000'000;

int Usage(const std::string& problem) {
  std::fprintf(stderr, "%s: %s (see kavex-cli --help)\n", kName, problem.c_str());
  return kExitUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kName, message.c_str());
  return kExitFailure;
}

std::string Today() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

// "1000" or "1:1000", a whole number from 1.
long ScaleOf(std::string text) {
  if (text.rfind("1:", 0) == 0) text.erase(0, 2);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  if (text.size() > 9) return 0;
  const long n = ReadLong(text);
  return n >= 1 && n <= kMaxScale ? n : 0;
}

int RunPlan(const Args& args) {
  std::string input, output, paperText = "A4";
  long scale = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" || a == "--output" || a == "--paper" || a == "--scale") {
      if (i + 1 >= args.size()) return Usage(a + " needs a value");
      const std::string& v = args[++i];
      if (a == "--paper") {
        if (v != "A4" && v != "A3" && v != "a4" && v != "a3")
          return Usage("--paper is A4 or A3, not '" + v + "'");
        paperText = v;
      } else if (a == "--scale") {
        scale = ScaleOf(v);
        if (scale == 0)
          return Usage("--scale is a whole number such as 500 or 1:1000, not '" + v + "'");
      } else {
        output = v;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else if (!input.empty()) {
      return Usage("more than one input file");
    } else {
      input = a;
    }
  }
  if (input.empty()) return Usage("missing FILE");
  if (output.empty()) return Usage("missing -o PLAN.svg|.png|.pdf");
  const PlanFileFormat* format = PlanFileFormatOf(output);
  if (!format) return Usage("the plan is written as .svg, .png or .pdf, not '" + output + "'");

  std::vector<std::string> lines;
  switch (ReadDataFileLines(input, lines)) {
    case DataFileRead::kCannotRead:
      return Failure(input + ": Fail to open file.");
    case DataFileRead::kTooLarge:
      return Failure(input + ": " + kFileTooLargeMessage);
    case DataFileRead::kRead:
      break;
  }
  SurveyPointReader reader;
  for (const std::string& line : lines) reader.AddLine(line);
  if (reader.Misaligned())
    std::fprintf(stderr, "kavex-cli: warning: %s: %s\n", input.c_str(), kPointsMisalignedNote);
  if (reader.Unreadable())
    std::fprintf(stderr,
                 "kavex-cli: warning: %s: %zu points have coordinates that are not numbers\n",
                 input.c_str(), reader.Unreadable());
  PlanModel model;
  model.SetPoints(reader.TakePoints());
  if (model.Points().empty()) return Failure(input + ": " + kNoPlanPointsMessage);

  const PlanPaper paper =
      (paperText == "A3" || paperText == "a3") ? PlanPaper::kA3 : PlanPaper::kA4;
  const PlanSheet sheet = PaperSheet(model, paper, static_cast<int>(scale),
                                     std::filesystem::path(input).filename().string(), Today());
  if (sheet.off)
    std::fprintf(stderr, "kavex-cli: warning: at 1:%d, points off the %s sheet: %zu\n",
                 sheet.scaleDenominator, paper == PlanPaper::kA3 ? "A3" : "A4", sheet.off);

  std::string bytes;
  if (format->type == PlanFileType::kSvg) {
    bytes = PlanSvg(model, sheet, PaperStyle());
  } else {
    // Fonts need a GUI application; no display is needed to paint an image or a PDF.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    int argc = 1;
    char name[] = "kavex-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    bytes = PlanFileBytes(format->type, model, sheet, PaperStyle());
    if (bytes.empty()) return Failure(output + ": the plan could not be drawn");
  }
  if (const std::string why = ReplaceFileWith(output, bytes); !why.empty())
    return Failure(output + ": " + why);
  std::printf(
      "%s, 1:%d on %s\n",
      PlanHeaderText(model.Points().size(), model.SameNameCount(), model.FarCount()).c_str(),
      sheet.scaleDenominator, paper == PlanPaper::kA3 ? "A3" : "A4");
  return kExitOk;
}

}  // namespace

extern const Command kPlanCommand = {
    "plan",
    "kavex-cli plan FILE -o PLAN.svg|.png|.pdf [--paper A4|A3] [--scale N]\n"
    "    Draws the points of FILE (QRX-6 coordinates, NWF coordinate lines or a points list)\n"
    "    north up on an A4 (default) or A3 sheet at 1:N, or at the largest round scale that\n"
    "    fits them, with a scale bar, a north arrow, the file name, the date and the count;\n"
    "    points with the same name and points far from the others are marked.",
    RunPlan};

}  // namespace kavex::cli
