#include "kavex/shell/print_command.h"

#include "kavex/formats/number_text.h"

namespace kavex {

bool PrintLines(const std::vector<std::string>& lines, const PrintSettings& settings,
                Printer& printer, std::string& failure,
                const std::function<void(size_t done, size_t total)>& pump) {
  const int points = PrintFontPoints(settings);
  const int fontHeight = FontHeightPixels(points, printer.DotsPerInchY());
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
  if (!printer.Choose()) return;
  const std::vector<std::string> lines = logic.View().Lines();
  logic.EnterBusy();
  std::string failure;
  bool printed = false;
  {
    std::unique_ptr<ProgressSink> progress = logic.Ui().ShowProgress("Print", false);
    if (progress) progress->SetText("Printing Now ...");
    printed = PrintLines(lines, settings, printer, failure, [&](size_t done, size_t total) {
      if (progress) progress->SetPosition(static_cast<int>(done * 100 / total));
      logic.Ui().PumpEvents();
    });
  }
  logic.LeaveBusy();
  if (!printed) logic.ShowMessage(failure);
}

}  // namespace kavex
