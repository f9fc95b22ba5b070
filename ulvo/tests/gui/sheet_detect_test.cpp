#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QPushButton>

#include "ulvo/gui/ctransfer_prop_sheet.h"
#include "ulvo/shell/translations.h"
#include "ulvo/tests/gui/gui_test_support.h"
#include "ulvo/tests/transfer/line_device.h"
#include "ulvo/transfer/instrument.h"

namespace ulvo {
namespace {

// The instrument sends at 9600 or 19200 baud, 7 or 8 data bits, no or even parity, 1 stop bit;
// it starts at 19200 8N1.
const char* kSender =
    "[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=Sender\n"
    "[CAPABILITIES]\nSENDBAUDRATES=320\nSENDPARITY=5\nSENDDATABITS=12\nSENDSTOPBITS=1\n"
    "SENDDATAFORMAT=1\n"
    "[DEFAULTS]\nSENDBAUDRATES=256\nSENDPARITY=1\nSENDDATABITS=8\nSENDSTOPBITS=1\n"
    "SENDDATAFORMAT=1\n"
    "[RECEIVEOPTIONS]\nITEMS=1\nITEMM_1=Text\n";

std::vector<std::string> Lines() {
  return {"110001+0000000000001001 81..00+0000000000123456 82..00-0000000000654321\r\n",
          "110002+000000000000STN1 83..00+0000000000001234 87..10+0000000000001500\r\n"};
}

TEST(SheetDetect, ProposesWhatTheLineCarriesWithinTheInstrumentFile) {
  EnsureApplication();
  const struct {
    const char* name;
    sim::LineFrame sent;
    bool silent;
    bool answer;
    bool asked;
    SpeedChoice after;  // the speed page afterwards
    const char* toldPart;
  } cases[] = {
      {"accepted", {9600, 7, sim::LineParity::kEven, 1}, false, true, true, {64, 4, 4, 1}, ""},
      {"declined", {9600, 8, sim::LineParity::kNone, 1}, false, false, true, {256, 1, 8, 1}, ""},
      {"odd parity not in the file",
       {9600, 7, sim::LineParity::kOdd, 1},
       false,
       true,
       false,
       {256, 1, 8, 1},
       "does not allow 9600 7O1"},
      {"38400 not in the file",
       {38400, 8, sim::LineParity::kNone, 1},
       false,
       true,
       false,
       {256, 1, 8, 1},
       "does not allow 38400 8N1"},
      {"nothing sent",
       {9600, 8, sim::LineParity::kNone, 1},
       true,
       true,
       false,
       {256, 1, 8, 1},
       "/dev/ttyUSB0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CInstrument instrument;
    ASSERT_TRUE(instrument.LoadInterfaceText(EncodeInterfaceText(kSender), nullptr));
    std::vector<CInstrument> instruments{instrument};
    TaskContext context;
    context.instruments = &instruments;
    CTransferPropSheet sheet(instrument, kDirectionReceive, context);
    EXPECT_FALSE(sheet.DetectButton()->isEnabled());
    test::FakeClock clock;
    const sim::LineFrame sent = c.sent;
    const bool silent = c.silent;
    sheet.SetDetect({"/dev/ttyUSB0",
                     [&clock, sent, silent] {
                       return std::make_unique<test::LineDevice>(
                           clock, sent, silent ? std::vector<std::string>{} : Lines(),
                           std::chrono::milliseconds(300), sim::LineTime(sent, 1));
                     },
                     &clock});
    ASSERT_TRUE(sheet.DetectButton()->isEnabled());
    QString asked;
    QString told;
    sheet.ask = [&](const QString& q) {
      asked = q;
      return c.answer;
    };
    sheet.tell = [&](const QString& t) { told = t; };
    sheet.show();
    sheet.DetectButton()->click();
    EXPECT_EQ(!asked.isEmpty(), c.asked) << told.toStdString();
    if (c.asked) {
      EXPECT_TRUE(asked.endsWith("Use these settings?")) << asked.toStdString();
    }
    EXPECT_TRUE(told.contains(QString::fromLatin1(c.toldPart))) << told.toStdString();
    EXPECT_EQ(c.asked, told.isEmpty());
    const SpeedChoice now = sheet.SpeedPage()->Choice();
    EXPECT_EQ(now.baud, c.after.baud);
    EXPECT_EQ(now.parity, c.after.parity);
    EXPECT_EQ(now.dataBits, c.after.dataBits);
    EXPECT_EQ(now.stopBits, c.after.stopBits);
  }
}

TEST(SheetDetect, EveryTextHasItsDutchTranslation) {
  Translations dutch;
  ASSERT_TRUE(dutch.Load(ULVO_SHIPPED_DATA_DIR "/ulvo-nl.tft"));
  for (const TransferText* t : sheet_texts::kDetectTexts) {
    const std::optional<std::string> nl = dutch.Find(t->key);
    ASSERT_TRUE(nl.has_value()) << t->key;
    EXPECT_NE(*nl, t->text) << t->key;
  }
  // The mark the found settings go in survives translation.
  EXPECT_NE(dutch.Find(sheet_texts::kDetectNotAllowed.key)->find("%1"), std::string::npos);
}

}  // namespace
}  // namespace ulvo
