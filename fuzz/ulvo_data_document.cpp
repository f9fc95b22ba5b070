// The instrument data document as the conversion reads its scratch file back, then written.
#include <sstream>

#include "fuzz_support.h"
#include "ulvo/engine/data_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pugi::xml_document document;
  if (!ulvo::LoadDataDocumentFromText(document, std::string(fuzz::Bytes(data, size)))) return 0;
  std::ostringstream out;
  ulvo::WriteDocument(document, out);
  return 0;
}
