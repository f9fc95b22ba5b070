// HK-100 level data into the level-book text report.
#include "fuzz_support.h"
#include "kavex/exports/hk100_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavex::MakeHk100Report(fuzz::Bytes(data, size));
  return 0;
}
