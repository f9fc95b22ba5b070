// ULVO's capture journal: whatever a crash or a damaged disk leaves, reading stops cleanly at
// the first record that is not whole, and the bytes read are those of the whole records.
#include <cstdlib>

#include "fuzz_support.h"
#include "ulvo/transfer/capture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzz::WriteScratch("fuzz.ucapture", fuzz::Bytes(data, size));
  const ulvo::CaptureContents c = ulvo::ReadCapture(file);
  if (c.bytes.size() != c.info.dataBytes) std::abort();
  if (c.info.tail) (void)ulvo::DescribeTail(*c.info.tail);
  (void)ulvo::ListCaptures(file.parent_path());
  return 0;
}
