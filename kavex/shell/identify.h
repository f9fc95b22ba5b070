#pragma once

#include <string>
#include <vector>

#include "kavex/formats/point_records.h"

namespace kavex {

// How one of Kavex's own layouts reads a file: whole, with how many records, or where it
// stops and why.
struct LayoutReading {
  const char* layout = "";  // "QRX-6 coordinate list"
  bool whole = false;
  size_t records = 0;
  const char* unit = "";  // "points"; the singular drops the final "s"
  RecordPlace stop;       // column 0 when the layout's reader knows only the line
  std::string why;
};

// Reads a file's lines (as Open reads them) with every layout of the program. The layouts
// that read it whole come first: those kept in files of the given extension (lower case,
// ".pts"), then the most particular; then those that stop, the one that came furthest first.
std::vector<LayoutReading> IdentifyLines(const std::vector<std::string>& lines,
                                         const std::string& extension = "");

// "QRX-6 coordinate list, 60 points", or "NWF (QRX-7) data: stops at line 3, column 1: ...".
std::string IdentifyText(const LayoutReading& reading);
// One line for the Open dialog: the best whole reading, or that none reads the file whole
// and where the furthest stops.
std::string IdentifySummary(const std::vector<LayoutReading>& readings);

}  // namespace kavex
