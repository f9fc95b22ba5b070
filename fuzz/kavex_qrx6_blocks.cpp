// QRX-6 block lines and the field stream they carry.
#include "fuzz_support.h"
#include "kavex/formats/qrx6_block.h"
#include "kavex/formats/qrx6_fields.h"
#include "kavex/formats/qrx6_to_nwf.h"

namespace {

class CountingSink : public kavex::Qrx6RecordSink {
 public:
  void RecordClosed(const kavex::Qrx6Record& record) override { records += record.group; }
  void FieldStored(int id) override { fields += id; }
  long records = 0, fields = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::Bytes(data, size);
  for (const std::string& block : kavex::CutIntoBlocks(text)) {
    kavex::CheckBlock(block, 0, true, true);
  }
  CountingSink sink;
  kavex::Qrx6FieldReader reader(sink);
  kavex::ForEachTextLine(text, [&](std::string_view line, bool hasLineFeed) {
    kavex::CheckBlock(line, 1, true, true);
    kavex::BlockChecksum(line);
    reader.AddLine(line, hasLineFeed);
  });
  reader.Finish();
  kavex::MakeBlockLine(text.substr(0, 128), static_cast<int>(size % 10));
  return 0;
}
