#pragma once

#include <QFont>
#include <QPainter>
#include <string>

#include "kavex/shell/print_command.h"

class QPagedPaintDevice;

namespace kavex {

// The printout drawn on a Qt paged device: a QPrinter chosen in the print dialog, or a
// QPdfWriter for the command line. Coordinates are the device's pixels, (0, 0) the top left
// of the printable area.
class PaintDevicePrinter : public Printer {
 public:
  explicit PaintDevicePrinter(QPagedPaintDevice& device) : device_(device) {}

  bool Choose() override { return true; }
  bool BeginDoc(int fontHeightPixels) override;
  int DotsPerInchY() const override;
  int PageHeight() const override;
  int PageWidth() const override;
  int TextWidth(int fontHeightPixels, int characters) const override;
  void NewPage() override;
  void TextOut(int x, int y, const std::string& text) override;
  bool EndDoc() override;

  // The font the document is printed in (valid after BeginDoc).
  const QFont& Font() const { return font_; }
  // The platform's fixed-pitch font at a height in the device's pixels.
  static QFont FixedFont(int fontHeightPixels);

 private:
  QPagedPaintDevice& device_;
  QPainter painter_;
  QFont font_;
  int ascent_ = 0;
};

}  // namespace kavex
