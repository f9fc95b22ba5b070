#pragma once

#include <QPrinter>
#include <functional>

#include "kavex/platform/paint_device_printer.h"

class QWidget;

namespace kavex {

// The platform printer chosen in the standard print dialog, which also offers printing
// to a PDF file.
class QtPrinter final : public Printer {
 public:
  explicit QtPrinter(QWidget* parent);

  bool Choose() override;
  bool BeginDoc(int fontHeightPixels) override { return painter_.BeginDoc(fontHeightPixels); }
  int DotsPerInchY() const override { return painter_.DotsPerInchY(); }
  int PageHeight() const override { return painter_.PageHeight(); }
  int PageWidth() const override { return painter_.PageWidth(); }
  int TextWidth(int fontHeightPixels, int characters) const override {
    return painter_.TextWidth(fontHeightPixels, characters);
  }
  void NewPage() override { painter_.NewPage(); }
  void TextOut(int x, int y, const std::string& text) override { painter_.TextOut(x, y, text); }
  bool EndDoc() override { return painter_.EndDoc(); }

  QPrinter& Device() { return printer_; }
  // Replaces the print dialog (tests choose a PDF file without showing it).
  void SetChooser(std::function<bool(QPrinter&)> chooser) { chooser_ = std::move(chooser); }

 private:
  QWidget* parent_;
  QPrinter printer_;
  PaintDevicePrinter painter_;
  std::function<bool(QPrinter&)> chooser_;
};

}  // namespace kavex
