// "Point Details" edits: each line of the input is the text left in one edit, in the order
// Enter walks them. Whatever the checks store must make the upload's initial block.
#include <cstdlib>

#include "fuzz_support.h"
#include "kavex/formats/point_details.h"
#include "kavex/formats/qrx6_to_nwf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavex::PointDetails details;
  int n = 0;
  kavex::ForEachTextLine(fuzz::Bytes(data, size), [&](std::string_view text, bool) {
    const auto field = static_cast<kavex::PointDetailsField>(n++ % kavex::kPointDetailsFieldCount);
    const kavex::PointDetailsCheck check = kavex::CheckPointDetailsField(field, text);
    if (check.stored.has_value() != check.message.empty()) std::abort();
    if (check.stored) kavex::PointDetailsValue(details, field) = *check.stored;
  });
  const std::optional<std::string> block = kavex::MakeInitialBlock(details);
  if (!block || block->size() != 1 + 37 + 3 + 1 + 2) std::abort();
  return 0;
}
