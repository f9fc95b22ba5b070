// The DXF export's reading of QRX-6 coordinate blocks: the input check and both passes over
// the file, and the point record reader on the same lines in memory.
#include <cstdlib>

#include "fuzz_support.h"
#include "kavex/exports/dxf_export.h"
#include "kavex/formats/qrx6_to_nwf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::Bytes(data, size);
  const auto file = fuzz::WriteScratch("points.qr6", text);
  kavex::CheckDxfInput(file);
  std::string last;
  const kavex::DxfResult result =
      kavex::ExportDxf(file, [&](const std::string& line) { last = line; });
  if (result == kavex::DxfResult::Done && last != "EOF") std::abort();

  kavex::PointRecordReader reader([](const kavex::PointRecord& r) {
    if (r.name.size() != 10 || r.x.size() != 10 || r.y.size() != 10 || r.z.size() != 10)
      std::abort();
  });
  kavex::ForEachTextLine(text, [&](std::string_view line, bool) { reader.AddLine(line); });
  return 0;
}
