// NWF lines: keyword and observation tests and the value scan.
#include "fuzz_support.h"
#include "kavex/formats/nwf_line.h"
#include "kavex/formats/qrx6_to_nwf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavex::ForEachTextLine(fuzz::Bytes(data, size), [](std::string_view line, bool hasLineFeed) {
    const std::string withEnd = std::string(line) + (hasLineFeed ? "\n" : "");
    kavex::FindNwfKeyword(withEnd);
    kavex::FindNwfObservation(withEnd);
    kavex::ScanNwfValues(withEnd);
  });
  return 0;
}
