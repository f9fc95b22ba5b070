// Instrument interface files, scrambled as shipped and as plain text scrambled here.
#include "fuzz_support.h"
#include "ulvo/transfer/instrument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  ulvo::CInstrument scrambled;
  scrambled.LoadInterfaceText(bytes, nullptr);
  ulvo::DecodeInterfaceText(bytes);
  ulvo::CInstrument plain;
  plain.LoadInterfaceText(ulvo::EncodeInterfaceText(bytes), nullptr);
  return 0;
}
