// Points (".pts") and point-code (".cod") files into QRX-6 blocks, and the edit tables' list
// readers on the blocks made and on the raw lines. The first byte picks the kind.
#include <cstdlib>

#include "fuzz_support.h"
#include "kavex/formats/point_lists.h"
#include "kavex/formats/qrx6_block.h"
#include "kavex/formats/qrx6_to_nwf.h"

namespace {

// Every block line the writer sends must be a whole block line.
void CheckBlockLine(const std::string& line) {
  if (line.size() != kavex::kBlockLineLength) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const kavex::ListKind kind = (data[0] & 1) ? kavex::ListKind::kCodes : kavex::ListKind::kPoints;
  const std::string_view text = fuzz::Bytes(data + 1, size - 1);

  std::vector<std::string> blocks;
  kavex::WriteListTextBlocks(text, kind, [&](const std::string& line) {
    CheckBlockLine(line);
    blocks.push_back(line);
  });
  const auto file = fuzz::WriteScratch("list.txt", text);
  kavex::WriteListFileBlocks(file, kind, CheckBlockLine, [](int percent) {
    if (percent < 0 || percent > 100) std::abort();
  });

  // The tables read back what the writer made, and what they read writes back as blocks.
  if (kind == kavex::ListKind::kPoints) {
    const auto rows = kavex::ReadCoordinateList(blocks);
    if (!rows) std::abort();  // the writer's own records always line up
    const auto back = kavex::WriteCoordinateList(*rows);
    if (!back) std::abort();  // and every value read back fits its field again
    for (const std::string& line : *back) CheckBlockLine(line);
  } else {
    const auto rows = kavex::ReadCodeList(blocks);
    if (!rows) std::abort();
    for (const std::string& line : kavex::WriteCodeList(*rows)) CheckBlockLine(line);
  }

  // The list readers take any lines a block file may hold.
  std::vector<std::string> lines;
  kavex::ForEachTextLine(text, [&](std::string_view line, bool) { lines.emplace_back(line); });
  if (const auto rows = kavex::ReadCoordinateList(lines)) kavex::WriteCoordinateList(*rows);
  if (const auto rows = kavex::ReadCodeList(lines)) kavex::WriteCodeList(*rows);
  return 0;
}
