// kavex-cli identify and the Open dialog's status: every layout over the lines of any file,
// and the stop it names lies inside the file.
#include <cstdlib>

#include "fuzz_support.h"
#include "kavex/formats/text_file.h"
#include "kavex/shell/identify.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines = kavex::SplitLines(fuzz::Bytes(data, size));
  for (const char* extension : {"", ".qr6", ".pts"}) {
    const std::vector<kavex::LayoutReading> readings = kavex::IdentifyLines(lines, extension);
    for (const kavex::LayoutReading& r : readings) {
      if (!r.whole && r.stop.line > lines.size() + 1) std::abort();
      if (kavex::IdentifyText(r).empty()) std::abort();
    }
    kavex::IdentifySummary(readings);
  }
  return 0;
}
