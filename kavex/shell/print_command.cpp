#include "kavex/shell/print_command.h"

#include <algorithm>

#include "kavex/formats/number_text.h"
#include "kavex/formats/text_format.h"
#include "kavex/shell/progress_gate.h"

namespace kavex {

int FittingFontHeight(const PrintSettings& settings, const Printer& printer) {
  const int chosen = FontHeightPixels(PrintFontPoints(settings), printer.DotsPerInchY());
  const int characters = ReadInt(settings.charsPerLine);
  const int width = printer.PageWidth();
  if (characters <= 0 || width <= 0) return chosen;
  const auto fits = [&](int height) { return printer.TextWidth(height, characters) <= width; };
  if (fits(chosen)) return chosen;
  // Widths grow with the height: the largest height that fits lies below the first that
  // does not. One pixel is the floor, whatever it takes.
  int low = 1;
  int high = chosen - 1;
  while (low < high) {
    const int middle = low + (high - low + 1) / 2;
    if (fits(middle)) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return std::max(1, low);
}

std::string PrintFitNote(const PrintSettings& settings, const Printer& printer) {
  const int dpi = printer.DotsPerInchY();
  const int points = PrintFontPoints(settings);
  const int height = FittingFontHeight(settings, printer);
  if (dpi <= 0 || height >= FontHeightPixels(points, dpi)) return {};
  return Format("%d characters per line do not fit the page at %d points: printed at %.1f points.",
                ReadInt(settings.charsPerLine), points, height * 72.0 / dpi);
}

bool PrintLines(const std::vector<std::string>& lines, const PrintSettings& settings,
                Printer& printer, std::string& failure,
                const std::function<void(size_t done, size_t total)>& pump) {
  const int fontHeight = FittingFontHeight(settings, printer);
  const std::optional<PageLayout> layout =
      ComputePageLayout(fontHeight, settings, printer.PageHeight());
  if (!layout) {
    failure = ReadInt(settings.charsPerLine) <= 0 ? kInvalidCharsPerLineMessage
                                                  : kInvalidLineIntervalMessage;
    return false;
  }
  if (!printer.BeginDoc(fontHeight)) {
    failure = kPrintFailedMessage;
    return false;
  }
  PrintRows rows(*layout);
  const auto draw = [&printer](const PrintedPiece& piece) {
    if (piece.newPage) printer.NewPage();
    printer.TextOut(0, piece.y, std::string(piece.text));
  };
  size_t done = 0;
  for (const std::string& line : lines) {
    rows.AddLine(line, draw);
    if (pump && (++done % 256 == 0 || done == lines.size())) pump(done, lines.size());
  }
  if (!printer.EndDoc()) {
    failure = kPrintFailedMessage;
    return false;
  }
  return true;
}

void PrintCurrentData(MainLogic& logic, PrintOptionsDialog& options, Printer& printer) {
  PrintSettings& settings = logic.Settings().print;
  if (!options.Run(settings)) return;
  logic.KeepSettings();
  if (!printer.Choose()) return;
  const std::vector<std::string> lines = logic.View().Lines();
  logic.EnterBusy();
  std::string failure;
  bool printed = false;
  {
    std::unique_ptr<ProgressSink> progress = logic.Ui().ShowProgress("Print", false);
    if (progress) progress->SetText("Printing Now ...");
    ProgressGate gate(logic.Time());
    printed = PrintLines(lines, settings, printer, failure, [&](size_t done, size_t total) {
      if (!gate.Open()) return;
      if (progress) progress->SetPosition(static_cast<int>(done * 100 / total));
      logic.Ui().PumpEvents();
    });
  }
  logic.LeaveBusy();
  if (!printed) logic.ShowMessage(failure);
}

}  // namespace kavex
