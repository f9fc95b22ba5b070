#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

#include "ulvo/transfer/instrument.h"

namespace ulvo::test {

// An instrument whose both directions run one protocol and software handshake.
inline CInstrument MakeInstrument(uint32_t formatBit, uint32_t softBit, bool addCrLf = false,
                                  uint32_t baudBits = 64) {
  std::ostringstream plain;
  plain << "[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=Scripted\n"
        << "[CAPABILITIES]\n";
  for (const char* d : {"SEND", "RECEIVE"})
    plain << d << "BAUDRATES=" << baudBits << "\n"
          << d << "DATAFORMAT=" << formatBit << "\n"
          << d << "SOFTHANDSHAKE=" << softBit << "\n";
  plain << "[DEFAULTS]\n";
  for (const char* d : {"SEND", "RECEIVE"})
    plain << d << "SOFTHANDSHAKE=" << softBit << "\n" << d << "DATAFORMAT=" << formatBit << "\n";
  plain << "[SOFTHANDSHAKECHARS]\nADDCRLF=" << (addCrLf ? 1 : 0) << "\n";
  CInstrument i;
  EXPECT_TRUE(i.LoadInterfaceText(EncodeInterfaceText(plain.str()), nullptr));
  return i;
}

}  // namespace ulvo::test
