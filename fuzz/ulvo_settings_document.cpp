// Settings.xml: a file that loads is saved in a form that loads again as the same document.
#include <cstdlib>
#include <sstream>

#include "fuzz_support.h"
#include "ulvo/engine/data_document.h"
#include "ulvo/shell/settings_document.h"

namespace {

std::string Text(const pugi::xml_document& document) {
  std::ostringstream s;
  ulvo::WriteDocument(document, s);
  return s.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzz::WriteScratch("Settings.xml", fuzz::Bytes(data, size));
  ulvo::SettingsDocument first;
  if (!first.Load(file)) return 0;
  const auto saved = fuzz::ScratchFile("Saved.xml");
  if (!first.Save(saved)) std::abort();
  ulvo::SettingsDocument second;
  if (!second.Load(saved)) std::abort();
  if (Text(second.Document()) != Text(first.Document())) std::abort();
  return 0;
}
