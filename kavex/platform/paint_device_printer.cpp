#include "kavex/platform/paint_device_printer.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPagedPaintDevice>

namespace kavex {

bool PaintDevicePrinter::BeginDoc(int fontHeightPixels) {
  // The platform's fixed-pitch font: the typeface itself is left to the system.
  font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font_.setStyleHint(QFont::Monospace);
  font_.setFixedPitch(true);
  font_.setPixelSize(fontHeightPixels);
  if (!painter_.begin(&device_)) return false;
  painter_.setFont(font_);
  painter_.setPen(Qt::black);
  ascent_ = painter_.fontMetrics().ascent();
  return true;
}

int PaintDevicePrinter::DotsPerInchY() const {
  return device_.logicalDpiY();
}

int PaintDevicePrinter::PageHeight() const {
  return device_.height();
}

void PaintDevicePrinter::NewPage() {
  device_.newPage();
}

void PaintDevicePrinter::TextOut(int x, int y, const std::string& text) {
  if (text.empty()) return;
  // The top of the text cell is at y, as the printer's text output places it.
  painter_.drawText(QPoint(x, y + ascent_),
                    QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

bool PaintDevicePrinter::EndDoc() {
  return painter_.end();
}

}  // namespace kavex
