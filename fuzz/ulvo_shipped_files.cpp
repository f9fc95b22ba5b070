// The list of shipped files in the per-user folder: whatever it holds, what is read writes
// back and reads again the same, so a damaged list can never turn a user's file into one
// the program may replace.
#include <cstdlib>

#include "fuzz_support.h"
#include "ulvo/platform/program_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzz::WriteScratch("shipped-files", fuzz::Bytes(data, size));
  const ulvo::ShippedDigests read = ulvo::ReadShippedList(file);
  for (const auto& [path, digest] : read) {
    if (digest.size() != 64 || path.empty() || path.find('\n') != std::string::npos) std::abort();
  }
  const auto again = fuzz::ScratchFile("shipped-files-again");
  if (!ulvo::WriteShippedList(again, read)) std::abort();
  if (ulvo::ReadShippedList(again) != read) std::abort();
  return 0;
}
