// Kavex's capture journal: whatever a crash or a damaged disk leaves, reading stops cleanly at
// the first record that is not whole, and what it read writes and reads back the same.
#include <cstdlib>

#include "fuzz_support.h"
#include "kavex/comm/capture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzz::WriteScratch("fuzz.kcapture", fuzz::Bytes(data, size));
  const kavex::CaptureContents c = kavex::ReadCapture(file);
  if (c.lines.size() != c.info.records) std::abort();
  uint64_t bytes = 0;
  for (const std::string& line : c.lines) bytes += line.size();
  if (bytes != c.info.dataBytes) std::abort();
  if (c.info.tail) (void)kavex::DescribeTail(*c.info.tail);
  (void)kavex::ListCaptures(file.parent_path());
  return 0;
}
