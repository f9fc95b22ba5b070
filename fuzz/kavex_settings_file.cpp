// Kavex.ini: whatever the file holds, reading gives settings that write and read back the same.
#include <cstdlib>

#include "fuzz_support.h"
#include "kavex/shell/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(fuzz::Bytes(data, size));
  const kavex::KavexSettings settings = kavex::ParseSettings(text, "/home/surveyor");
  const std::string written = kavex::FormatSettings(settings);
  const std::string again = kavex::FormatSettings(kavex::ParseSettings(written, "/home/surveyor"));
  if (again != written) std::abort();
  return 0;
}
