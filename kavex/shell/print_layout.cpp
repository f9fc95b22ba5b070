#include "kavex/shell/print_layout.h"

#include <cmath>

#include "kavex/formats/number_text.h"
#include "kavex/formats/text_format.h"

namespace kavex {

std::optional<std::string> AcceptCharsPerLine(const std::string& text) {
  const long n = ReadLong(text);
  if (n <= 0 || n >= 256) return std::nullopt;
  return Format("%-3u", static_cast<unsigned>(n));
}

std::optional<std::string> AcceptLineInterval(const std::string& text) {
  const double x = ReadDouble(text);
  if (!(x >= 1.0 && x <= 2.0)) return std::nullopt;
  return Format("%-3.1f", x);
}

PrintSettings ContinuePrintOptions(const std::string& charsText, const std::string& intervalText,
                                   bool large) {
  PrintSettings s;
  s.charsPerLine = charsText.substr(0, 3);
  s.lineInterval = intervalText.substr(0, 3);
  s.printLarge = large ? 1 : 0;
  return s;
}

int PrintFontPoints(const PrintSettings& settings) {
  return settings.printLarge == 1 ? kLargePrintPoints : kSmallPrintPoints;
}

int FontHeightPixels(int points, int dpi) {
  return static_cast<int>((static_cast<long long>(points) * dpi + 36) / 72);
}

std::optional<PageLayout> ComputePageLayout(int fontHeightPixels, const PrintSettings& settings,
                                            int pageHeightPixels) {
  PageLayout layout;
  // The interval is a one-decimal text: work in thousandths so that 50 x 1.2 is 60, not 59.
  const long long interval = std::llround(ReadDouble(settings.lineInterval) * 1000.0);
  layout.lineStep = static_cast<int>(std::llabs(fontHeightPixels) * interval / 1000);
  layout.charsPerPiece = ReadInt(settings.charsPerLine);
  if (layout.lineStep <= 0 || layout.charsPerPiece <= 0) return std::nullopt;
  layout.linesPerPage = pageHeightPixels / layout.lineStep;
  // A step taller than the page would start a page for every piece.
  if (layout.linesPerPage <= 0) return std::nullopt;
  return layout;
}

void PrintRows::AddLine(std::string_view line,
                        const std::function<void(const PrintedPiece&)>& draw) {
  const size_t c = static_cast<size_t>(layout_.charsPerPiece);
  size_t start = 0;
  do {
    PrintedPiece piece;
    if (row_ >= layout_.linesPerPage) {
      piece.newPage = true;
      row_ = 0;
    }
    piece.y = row_ * layout_.lineStep;
    piece.text = line.substr(start, c);
    draw(piece);
    ++row_;
    start += c;
  } while (start < line.size());
}

void LayOutLines(const std::vector<std::string>& lines, const PageLayout& layout,
                 const std::function<void(const PrintedPiece&)>& draw) {
  PrintRows rows(layout);
  for (const std::string& line : lines) rows.AddLine(line, draw);
}

size_t CountPages(const std::vector<std::string>& lines, const PageLayout& layout) {
  size_t pages = 1;
  LayOutLines(lines, layout, [&pages](const PrintedPiece& p) { pages += p.newPage ? 1 : 0; });
  return pages;
}

}  // namespace kavex
