#include "kavex/gui/qt_printer.h"

#include <QPrintDialog>

namespace kavex {

QtPrinter::QtPrinter(QWidget* parent)
    : parent_(parent), printer_(QPrinter::HighResolution), painter_(printer_) {}

bool QtPrinter::Choose() {
  if (chooser_) return chooser_(printer_);
  QPrintDialog dialog(&printer_, parent_);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace kavex
