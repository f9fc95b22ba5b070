// A fuzzed definition parses fuzzed data ("definition@@DATA@@data") and writes the result.
#include "fuzz_support.h"
#include "ulvo/engine/data_document.h"
#include "ulvo/engine/format_definition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view definition, input;
  fuzz::SplitAtMarker(fuzz::Bytes(data, size), definition, input);
  ulvo::FormatDefinition format(fuzz::WriteScratch("definition.xml", definition));
  if (!format.Load()) return 0;
  pugi::xml_document document;
  pugi::xml_node root = ulvo::NewDataDocument(document);
  format.ParseFile(fuzz::WriteScratch("input.dat", input), root);
  format.WriteFile(root, fuzz::ScratchFile("output.dat"));
  return 0;
}
