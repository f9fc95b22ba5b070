// Format definition files: loading builds the parser tree and the record kinds.
#include "fuzz_support.h"
#include "ulvo/engine/format_definition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ulvo::FormatDefinition format(fuzz::WriteScratch("definition.xml", fuzz::Bytes(data, size)));
  if (!format.Load()) return 0;
  for (size_t i = 0; i < format.GroupCount(); ++i) format.Group(i);
  format.SetPath(fuzz::ScratchFile("saved.xml"));
  format.Save();
  return 0;
}
