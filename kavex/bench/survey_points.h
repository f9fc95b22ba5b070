#pragma once

// The survey the window and plan benchmarks work on.
#include <string>
#include <vector>

#include "kavex/formats/point_lists.h"
#include "kavex/formats/text_format.h"

namespace kavex::bench {

// QRX-6 coordinate block lines of count points spread over a few kilometres.
inline std::vector<std::string> CoordinateBlockLines(int count) {
  std::string points;
  for (int i = 0; i < count; ++i)
    points += Format("P%d,%.3f,%.3f,%.3f\n", i + 1, 1000.0 + (i % 997) * 3.1,
                     2000.0 + (i / 997) * 2.7, 100.0 + (i % 13) * 0.5);
  std::vector<std::string> blocks;
  WriteListTextBlocks(points, ListKind::kPoints,
                      [&blocks](const std::string& line) { blocks.push_back(line); });
  return blocks;
}

// The same as the text of a file, a line feed after each line.
inline std::string CoordinateBlocks(int count) {
  std::string text;
  for (const std::string& line : CoordinateBlockLines(count)) text += line + "\n";
  return text;
}

}  // namespace kavex::bench
