// ULVO's translations file ("ulvo.tft"): the table, and texts looked up and filled from it.
#include <cstdlib>

#include "fuzz_support.h"
#include "ulvo/shell/translations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  ulvo::Translations translations;
  const bool parsed = translations.Parse(bytes);
  if (!parsed && translations.Count() != 0) std::abort();
  translations.Text(ulvo::Message{ulvo::kFormatLoadErr, "C:\\formats\\a%s.xml"});
  translations.Text(ulvo::Message{ulvo::kCnvSuccessMsg, {}});
  for (uint32_t bit : {1u, 2u, 4u}) ulvo::SoftwareHandshakeName(translations, bit);

  // Reading the file must give the same table as reading its bytes.
  ulvo::Translations loaded;
  const bool fromFile = loaded.Load(fuzz::WriteScratch("ulvo.tft", bytes));
  if (fromFile != parsed || loaded.Count() != translations.Count()) std::abort();
  return 0;
}
