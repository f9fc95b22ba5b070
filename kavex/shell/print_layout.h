#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/shell/settings_file.h"

namespace kavex {

inline constexpr const char* kInvalidCharsPerLineMessage =
    "Invalid value entered in Characters per line.";
inline constexpr const char* kInvalidLineIntervalMessage =
    "Invalid value entered in Line intervals.";

// Font sizes of the printout in points: printLarge 1 and 0.
inline constexpr int kLargePrintPoints = 11;
inline constexpr int kSmallPrintPoints = 6;

// Leaving "Characters per line": n with 0 < n < 256 rewritten as "%-3u", else nothing.
std::optional<std::string> AcceptCharsPerLine(const std::string& text);
// Leaving "Line intervals": x with 1 <= x <= 2 rewritten as "%-3.1f", else nothing.
std::optional<std::string> AcceptLineInterval(const std::string& text);
// "Continue": the first 3 characters of each field and the chosen font size.
PrintSettings ContinuePrintOptions(const std::string& charsText, const std::string& intervalText,
                                   bool large);

int PrintFontPoints(const PrintSettings& settings);
// A font of the given points as the printer sizes it: points x dpi / 72, rounded.
int FontHeightPixels(int points, int dpi);

// Where each piece of a line lands: rows lineStep apart, linesPerPage rows a page.
struct PageLayout {
  int lineStep = 0;
  int charsPerPiece = 0;
  int linesPerPage = 0;
};

// The layout from the font height and page height in printer pixels. Nothing when the
// settings cannot be printed with (no characters per piece, a step taller than the page).
std::optional<PageLayout> ComputePageLayout(int fontHeightPixels, const PrintSettings& settings,
                                            int pageHeightPixels);

// One piece to draw: a new page first when newPage is set, then text at (0, y).
struct PrintedPiece {
  bool newPage = false;
  int y = 0;
  std::string_view text;
};

// Places the pieces of a document row by row; one instance per document.
class PrintRows {
 public:
  explicit PrintRows(const PageLayout& layout) : layout_(layout) {}
  // Cuts line into pieces of charsPerPiece characters (an empty line is one empty piece)
  // and draws each on the next row, starting a page whenever the current one is full.
  void AddLine(std::string_view line, const std::function<void(const PrintedPiece&)>& draw);

 private:
  PageLayout layout_;
  int row_ = 0;
};

// Cuts each line into pieces of charsPerPiece characters (an empty line is one empty piece)
// and places them row by row, starting a page whenever the current one is full. The first
// page is the one the document begins with.
void LayOutLines(const std::vector<std::string>& lines, const PageLayout& layout,
                 const std::function<void(const PrintedPiece&)>& draw);

// Pages a listing fills: at least the one the document begins with.
size_t CountPages(const std::vector<std::string>& lines, const PageLayout& layout);

}  // namespace kavex
