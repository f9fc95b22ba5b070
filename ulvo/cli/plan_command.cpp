// ulvo-cli plan: the plan of a file's points, read with one of the program's formats, as an
// SVG, PNG or PDF sheet.
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <optional>

#include "ulvo/cli/commands.h"
#include "ulvo/convert/plan_drawing.h"
#include "ulvo/convert/plan_points.h"
#include "ulvo/engine/replace_file.h"
#include "ulvo/platform/plan_painter.h"
#include "ulvo/shell/settings_document.h"

namespace ulvo::cli {
namespace {

constexpr const char* kName = "ulvo-cli plan";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "%s: %s (see ulvo-cli --help)\n", kName, problem.c_str());
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

// "1000" or "1:1000", a whole number from 1 to 100,000,000.
int ScaleOf(std::string text) {
  if (text.rfind("1:", 0) == 0) text.erase(0, 2);
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  const long n = std::stol(text);
  return n >= 1 && n <= 100'000'000 ? static_cast<int>(n) : 0;
}

int RunPlan(const Context& context, const Args& args) {
  std::string format, input, output, paperText = "A4";
  int scale = 0;
  std::optional<std::string> chosen[5];  // northing, easting, height, name, code
  const char* const elementOptions[] = {"--northing", "--easting", "--height", "--name", "--code"};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto option = std::find(std::begin(elementOptions), std::end(elementOptions), a);
    const bool takesValue = option != std::end(elementOptions) || a == "-o" || a == "--output" ||
                            a == "--paper" || a == "--scale" || a == "--format";
    if (takesValue) {
      if (i + 1 >= args.size()) return Usage(a + " needs a value");
      const std::string& v = args[++i];
      if (option != std::end(elementOptions)) {
        chosen[option - std::begin(elementOptions)] = v;
      } else if (a == "--paper") {
        if (v != "A4" && v != "A3" && v != "a4" && v != "a3")
          return Usage("--paper is A4 or A3, not '" + v + "'");
        paperText = v;
      } else if (a == "--scale") {
        scale = ScaleOf(v);
        if (scale == 0)
          return Usage("--scale is a whole number such as 500 or 1:1000, not '" + v + "'");
      } else if (a == "--format") {
        format = v;
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
  if (format.empty()) return Usage("missing --format NAME");
  if (input.empty()) return Usage("missing FILE");
  if (output.empty()) return Usage("missing -o PLAN.svg|.png|.pdf");
  const PlanFileFormat* type = PlanFileFormatOf(output);
  if (!type) return Usage("the plan is written as .svg, .png or .pdf, not '" + output + "'");

  FormatList formats;
  formats.Refresh(context.home);
  FormatDefinition* definition = formats.Find(format);
  if (!definition) return Failure("no format named '" + format + "' in " + context.home.string());
  SettingsDocument settings;
  settings.Load(SettingsFilePath(context.home));
  PlanElements elements = ReadPlanElements(settings.Root(), format);
  std::string* members[] = {&elements.northing, &elements.easting, &elements.height, &elements.name,
                            &elements.code};
  for (size_t i = 0; i < 5; ++i)
    if (chosen[i]) *members[i] = *chosen[i];

  DocumentPoints read;
  ParseFailure failure;
  if (!ReadFilePoints(*definition, input, elements, read, &failure)) {
    if (failure.unread) return Failure(input + ": " + failure.reason);
    std::fprintf(stderr,
                 "ulvo-cli: warning: %s stops matching %s at line %llu, column %llu; the plan "
                 "shows the %zu records before\n",
                 input.c_str(), format.c_str(), static_cast<unsigned long long>(failure.line),
                 static_cast<unsigned long long>(failure.column), read.records);
  }
  if (read.unreadable)
    std::fprintf(
        stderr, "ulvo-cli: warning: %s: %zu records have a %s or %s that is not a number\n",
        input.c_str(), read.unreadable, elements.northing.c_str(), elements.easting.c_str());
  PlanModel model;
  model.SetPoints(std::move(read.points));
  if (model.Points().empty()) return Failure(input + ": " + kNoPlanPointsMessage);

  const PlanPaper paper =
      (paperText == "A3" || paperText == "a3") ? PlanPaper::kA3 : PlanPaper::kA4;
  const PlanSheet sheet =
      PaperSheet(model, paper, scale, std::filesystem::path(input).filename().string(), Today());
  if (sheet.off)
    std::fprintf(stderr, "ulvo-cli: warning: at 1:%d, points off the %s sheet: %zu\n",
                 sheet.scaleDenominator, paper == PlanPaper::kA3 ? "A3" : "A4", sheet.off);
  std::string bytes;
  if (type->type == PlanFileType::kSvg) {
    bytes = PlanSvg(model, sheet, PaperStyle());
  } else {
    // Fonts need a GUI application; no display is needed to paint an image or a PDF.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    int argc = 1;
    char name[] = "ulvo-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    bytes = PlanFileBytes(type->type, model, sheet, PaperStyle());
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
    "ulvo-cli [--home DIR] plan --format NAME FILE -o PLAN.svg|.png|.pdf [--paper A4|A3]\n"
    "         [--scale N] [--northing ID] [--easting ID] [--height ID] [--name ID] [--code ID]\n"
    "    draws the points of FILE, read with the format NAME, north up on an A4 (default) or\n"
    "    A3 sheet at 1:N or the largest round scale that fits; the elements holding the\n"
    "    values are those chosen for the format in the Plan window (default N, E, Z, NR, D)\n"
    "    unless given here",
    RunPlan};

}  // namespace ulvo::cli
