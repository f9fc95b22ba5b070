#include "kavex/platform/paint_device_printer.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <cmath>

namespace kavex {

QFont PaintDevicePrinter::FixedFont(int fontHeightPixels) {
  // The typeface itself is left to the system.
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(fontHeightPixels);
  return font;
}

bool PaintDevicePrinter::BeginDoc(int fontHeightPixels) {
  font_ = FixedFont(fontHeightPixels);
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

int PaintDevicePrinter::PageWidth() const {
  return device_.width();
}

int PaintDevicePrinter::TextWidth(int fontHeightPixels, int characters) const {
  if (characters <= 0) return 0;
  const QFontMetricsF metrics(FixedFont(fontHeightPixels), &device_);
  return static_cast<int>(
      std::ceil(metrics.horizontalAdvance(QString(characters, QLatin1Char('0')))));
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
