#pragma once

#include <string>
#include <vector>

#include "kavex/shell/main_logic.h"
#include "kavex/shell/print_layout.h"

namespace kavex {

// What the printout needs of a printer (or a PDF writer). The Qt adapters implement it;
// tests record the calls.
class Printer {
 public:
  virtual ~Printer() = default;
  // The standard print dialog (print to a file included); false when cancelled.
  virtual bool Choose() = 0;
  // Sets a fixed-pitch font whose characters are fontHeightPixels high and begins the
  // document. False when the printer or the output file cannot be opened.
  virtual bool BeginDoc(int fontHeightPixels) = 0;
  // The printer's vertical resolution, valid before BeginDoc.
  virtual int DotsPerInchY() const = 0;
  // The printable height and width of a page in printer pixels; (0, 0) of TextOut is the
  // top left of that area, not of the paper.
  virtual int PageHeight() const = 0;
  virtual int PageWidth() const = 0;
  // How wide a row of `characters` characters of the fixed-pitch font is at the given
  // height, in printer pixels; valid before BeginDoc.
  virtual int TextWidth(int fontHeightPixels, int characters) const = 0;
  virtual void NewPage() = 0;
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  // False when the document could not be finished (a full disk, a printer error).
  virtual bool EndDoc() = 0;
};

// "Print" (TPrintOptnDlg) as the print command sees it. True on "Continue", with the
// settings it stored.
class PrintOptionsDialog {
 public:
  virtual ~PrintOptionsDialog() = default;
  virtual bool Run(PrintSettings& settings) = 0;
};

// The message when the printer or the output file cannot be used.
inline constexpr const char* kPrintFailedMessage = "Printing Aborted.";

// The font height a printout uses: the chosen one when a row of charsPerLine characters
// fits the printable width, else the largest smaller height at which it does.
int FittingFontHeight(const PrintSettings& settings, const Printer& printer);

// What is said before printing when the chosen size is too large for the printable width:
// empty when it fits (or the settings cannot be printed with at all).
std::string PrintFitNote(const PrintSettings& settings, const Printer& printer);

// Prints the lines with the settings (steps 3 to 6 of printing) at the fitting font height.
// False, with nothing drawn, when the settings cannot be printed with or the printer fails;
// the message is returned.
// pump is called between lines so the window repaints.
bool PrintLines(const std::vector<std::string>& lines, const PrintSettings& settings,
                Printer& printer, std::string& failure,
                const std::function<void(size_t done, size_t total)>& pump = {});

// "&Print": print options, the print dialog, then the lines of the view.
void PrintCurrentData(MainLogic& logic, PrintOptionsDialog& options, Printer& printer);

}  // namespace kavex
