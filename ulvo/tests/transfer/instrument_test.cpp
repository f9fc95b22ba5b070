#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ulvo/transfer/instrument.h"

namespace ulvo {
namespace {

// Scrambles a plain file the way a person writing one by hand would: names and values
// complemented byte by byte, brackets and "=" kept. Independent of the code under test.
std::string Scramble(const std::string& plain) {
  const auto flip = [](const std::string& s) {
    std::string o;
    for (unsigned char c : s) o += static_cast<char>(0xFF - c);
    return o;
  };
  std::string out;
  size_t start = 0;
  while (start < plain.size()) {
    size_t end = plain.find('\n', start);
    if (end == std::string::npos) end = plain.size();
    const std::string line = plain.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line[0] == '[') {
      out += "[" + flip(line.substr(1, line.size() - 2)) + "]\r\n";
    } else if (const size_t eq = line.find('='); eq != std::string::npos) {
      out += flip(line.substr(0, eq)) + "=" + flip(line.substr(eq + 1)) + "\r\n";
    }
  }
  return out;
}

const std::string kHeader =
    "[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=Test Station\n";

CInstrument Load(const std::string& plain, const ProfileStore* store = nullptr) {
  CInstrument instrument;
  EXPECT_TRUE(instrument.LoadInterfaceText(Scramble(plain), store)) << plain;
  return instrument;
}

TEST(Instrument, HeaderChecks) {
  struct Case {
    std::string plain;
    bool loads;
  };
  const Case cases[] = {
      {kHeader, true},
      {"[HEADER]\nVERSION=2\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=X\n", false},
      {"[HEADER]\nVERSION=0\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=X\n", false},
      {"[HEADER]\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=X\n", false},
      {"[HEADER]\nVERSION=1\nTITLE=INSTRUMENT FILE\nINSTRUMENT=X\n", false},
      {"[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\n", false},
      {"", false},
  };
  for (const auto& c : cases) {
    CInstrument instrument;
    EXPECT_EQ(instrument.LoadInterfaceText(Scramble(c.plain), nullptr), c.loads) << c.plain;
  }
  // Unscrambled text is not an instrument file.
  CInstrument plain;
  EXPECT_FALSE(plain.LoadInterfaceText(kHeader, nullptr));
}

TEST(Instrument, DefaultsOfMissingKeys) {
  const CInstrument i = Load(kHeader);
  EXPECT_EQ(i.Name(), "Test Station");
  EXPECT_EQ(i.Chars().ack, 6);
  EXPECT_EQ(i.Chars().nak, 21);
  EXPECT_EQ(i.Chars().etx, 3);
  EXPECT_EQ(i.Chars().stx, 2);
  EXPECT_EQ(i.Chars().eot, 4);
  EXPECT_EQ(i.Chars().enq, 5);
  EXPECT_FALSE(i.Chars().addCrLf);
  EXPECT_EQ(i.Timeouts().readInterval, 50u);
  EXPECT_EQ(i.Timeouts().readMultiplier, 10u);
  EXPECT_EQ(i.Timeouts().readConstant, 100u);
  EXPECT_EQ(i.Timeouts().writeMultiplier, 10u);
  EXPECT_EQ(i.Timeouts().writeConstant, 100u);
  EXPECT_EQ(i.Message(), "");
  EXPECT_EQ(i.OptionCount(0), 0u);
  EXPECT_EQ(i.FormatName(2), "ITF00");
  EXPECT_EQ(i.FormatName(16), "");
  EXPECT_EQ(i.RequiredSoftHandshake(1, 2), -1);
}

TEST(Instrument, RestoresCurrentSettings) {
  const std::string file = kHeader +
                           "[CAPABILITIES]\nSENDBAUDRATES=320\nSENDSOFTHANDSHAKE=2\n"
                           "SENDDATAFORMAT=6\n[DEFAULTS]\nSENDDATAFORMAT=4\n";
  struct Case {
    std::string defaults;  // extra DEFAULTS keys
    std::optional<int64_t> storedBaud, storedSoft;
    uint32_t baud, soft;
  };
  const Case cases[] = {
      {"SENDBAUDRATES=64\n", {}, {}, 0x40, 0},
      {"SENDBAUDRATES=64\n", 0x100, {}, 0x100, 0},
      {"", 0x004, {}, 0x40, 0},  // not capable, no default: lowest capable bit
      {"", {}, {}, 0x40, 0},
      {"SENDSOFTHANDSHAKE=2\n", {}, {}, 0x40, 2},
      {"SENDSOFTHANDSHAKE=2\n", {}, 1, 0x40, 0},  // stored XON XOFF, not capable
      {"", {}, 2, 0x40, 2},
      {"SENDSOFTHANDSHAKE=2\n", {}, -1, 0x40, 2},  // -1: nothing stored
  };
  for (size_t n = 0; n < std::size(cases); ++n) {
    const Case& c = cases[n];
    MemoryProfileStore store;
    const std::string section = "INSTRUMENT\\Test Station\\LASTUSED";
    if (c.storedBaud) store.SetNumber(section, "SENDBAUDRATE", *c.storedBaud);
    if (c.storedSoft) store.SetNumber(section, "SENDSOFTHANDSHAKE", *c.storedSoft);
    std::string plain = file;
    plain.insert(plain.find("SENDDATAFORMAT=4"), c.defaults);
    const CInstrument i = Load(plain, &store);
    EXPECT_EQ(i.Params(kDirectionReceive).baudMask, c.baud) << n;
    EXPECT_EQ(SoftHandshakeByte(i.Params(kDirectionReceive).lineFormat), c.soft) << n;
    EXPECT_EQ(i.Params(kDirectionReceive).dataFormat, 4u) << n;
    // Nothing capable in the other direction: everything 0.
    EXPECT_EQ(i.Params(kDirectionSend), TransferParams{}) << n;
  }
}

TEST(Instrument, SaveLastUsedThenRestore) {
  const std::string plain = kHeader +
                            "[CAPABILITIES]\nRECEIVEBAUDRATES=448\nRECEIVEPARITY=7\n"
                            "RECEIVEDATABITS=12\nRECEIVESTOPBITS=5\nRECEIVEHARDHANDSHAKE=3\n"
                            "RECEIVESOFTHANDSHAKE=7\nRECEIVEDATAFORMAT=15\n";
  MemoryProfileStore store;
  CInstrument first = Load(plain, &store);
  TransferParams p{0x100, MakeLineFormat(4, 8, 4, 4), 2, 8};
  first.SetParams(kDirectionSend, p);
  first.SaveLastUsed(store);
  EXPECT_EQ(store.GetText("INSTRUMENT\\Test Station\\LASTUSED", "NAME"), "Test Station");
  EXPECT_EQ(store.GetNumber("INSTRUMENT\\Test Station\\LASTUSED", "RECEIVESOFTHANDSHAKE"), 4);
  EXPECT_EQ(store.GetNumber("INSTRUMENT\\Test Station\\LASTUSED", "RECEIVEFORMAT"), 8);
  const CInstrument second = Load(plain, &store);
  EXPECT_EQ(second.Params(kDirectionSend), p);
}

TEST(Instrument, OptionsFormatsAndTexts) {
  const std::string plain =
      kHeader +
      "[CAPABILITIES]\nSENDDATAFORMAT=15\nSENDSOFTHANDSHAKE=7\nSENDHARDHANDSHAKE=3\n"
      "[DEFAULTS]\nSENDDATAFORMAT=1\n"
      "[FIRSTMESSAGE]\nMESSAGE=Press F3\\nthen SEND\\tnow\n"
      "[FORMATNAMES]\nContainsFormats=6\n2=Blocks\n8=Lines\n"
      "[FORMATPROTOCOLSTICK]\nsend=2\ns1=2,2\ns2=8,4\nreceive=1\nr1=1,1\n"
      "[SENDOPTIONS]\nITEMS=3\nITEMM_1=Coordinates\nITEMH_1=Job\\nfile\nITEMF_1=GSI\n"
      "ITEMD_1=2\nITEMS_1=2\nITEMH_2=lost\nITEMM_3=Raw\nITEMP_3=1\n"
      "[TIMEOUTS]\nREADINTERVALTIMEOUT=20\nWRITETOTALTIMEOUTCONSTANT=0\n"
      "[SOFTHANDSHAKECHARS]\nACK=65\nADDCRLF=1\n";
  CInstrument i = Load(plain);
  EXPECT_EQ(i.Message(), "Press F3\nthen SEND\tnow");
  EXPECT_EQ(i.FormatName(2), "Blocks");
  EXPECT_EQ(i.FormatName(8), "ITF02");  // not in ContainsFormats
  EXPECT_EQ(i.FormatName(4), "ITF01");
  EXPECT_EQ(i.RequiredSoftHandshake(kDirectionReceive, 2), 2);
  EXPECT_EQ(i.RequiredSoftHandshake(kDirectionReceive, 8), 4);
  EXPECT_EQ(i.RequiredSoftHandshake(kDirectionSend, 1), 1);
  EXPECT_EQ(i.RequiredSoftHandshake(kDirectionSend, 2), -1);
  EXPECT_EQ(i.Timeouts().readInterval, 20u);
  EXPECT_EQ(i.Timeouts().writeConstant, 0u);
  EXPECT_EQ(i.Chars().ack, 'A');
  EXPECT_TRUE(i.Chars().addCrLf);

  ASSERT_EQ(i.OptionCount(kDirectionReceive), 2u);
  const auto& o = i.Options(kDirectionReceive);
  EXPECT_EQ(o[0].name, "Coordinates");
  EXPECT_EQ(o[0].hint, "Job\nfile");
  EXPECT_EQ(o[0].format, "GSI");
  EXPECT_EQ(o[0].dataFormat, 2u);
  EXPECT_EQ(o[0].softHandshake, 2);
  EXPECT_EQ(o[0].hardHandshake, -1);
  EXPECT_EQ(o[1].name, "Raw");
  EXPECT_EQ(o[1].dataFormat, 0u);
  EXPECT_EQ(o[1].hardHandshake, 1);

  EXPECT_FALSE(i.OptionFits(kDirectionReceive, 0));  // current format ASCII, no handshake
  EXPECT_FALSE(i.OptionFits(kDirectionReceive, 1));
  EXPECT_FALSE(i.OptionFits(kDirectionReceive, 5));
  i.ApplyOption(kDirectionReceive, 0);
  EXPECT_EQ(i.Params(kDirectionReceive).dataFormat, 2u);
  EXPECT_EQ(SoftHandshakeByte(i.Params(kDirectionReceive).lineFormat), 2u);
  EXPECT_TRUE(i.OptionFits(kDirectionReceive, 0));
  i.ApplyOption(kDirectionReceive, 1);
  EXPECT_EQ(i.Params(kDirectionReceive).hardHandshake, 1u);
  EXPECT_EQ(i.Params(kDirectionReceive).dataFormat, 2u);  // option asks for none
  EXPECT_TRUE(i.OptionFits(kDirectionReceive, 1));
}

TEST(Instrument, SurvivesGarbage) {
  std::string garbage;
  for (int n = 0; n < 5000; ++n) garbage += static_cast<char>((n * 7919) % 256);
  CInstrument i;
  EXPECT_FALSE(i.LoadInterfaceText(garbage, nullptr));
  // An absurd option count does not loop for ever.
  const CInstrument big = Load(kHeader + "[SENDOPTIONS]\nITEMS=2000000000\nITEMM_1=A\n");
  EXPECT_EQ(big.OptionCount(kDirectionReceive), 1u);
}

TEST(Instrument, EncodeDecodeRoundTrip) {
  const std::string plain = "; written by hand\r\n[HEADER]\r\nVERSION=1\r\n\r\nTITLE = X Y\r\n";
  const std::string encoded = EncodeInterfaceText(plain);
  EXPECT_EQ(encoded.substr(0, 20), "; written by hand\r\n[");
  EXPECT_EQ(encoded.substr(20, 6), "\xB7\xBA\xBE\xBB\xBA\xAD");  // HEADER complemented
  EXPECT_EQ(DecodeInterfaceText(encoded),
            "; written by hand\r\n[HEADER]\r\nVERSION=1\r\n\r\nTITLE=X Y\r\n");
}

TEST(Instrument, LoadsShippedStyleFileFromFolder) {
  const auto dir = std::filesystem::temp_directory_path() / "ulvo_iif_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "b.iif", std::ios::binary) << Scramble(kHeader);
  std::ofstream(dir / "a.IIF", std::ios::binary)
      << Scramble("[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=Alpha\n");
  std::ofstream(dir / "broken.IIF", std::ios::binary) << "nothing";
  std::ofstream(dir / "notes.txt", std::ios::binary) << Scramble(kHeader);
  const auto list = LoadInstruments(dir, nullptr);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Name(), "Alpha");
  EXPECT_EQ(list[1].Name(), "Test Station");
  EXPECT_EQ(list[1].Path(), dir / "b.iif");
  // The fixture was scrambled by a separate tool.
  CInstrument fixture;
  ASSERT_TRUE(fixture.LoadInterfaceFile(ULVO_TEST_DATA_DIR "/IIF/fixture.IIF", nullptr));
  EXPECT_EQ(fixture.Name(), "Fixture TS-1");
  EXPECT_EQ(fixture.Params(kDirectionReceive).baudMask, 0x40u);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ulvo
