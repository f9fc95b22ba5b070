#include "kavex/shell/transfer_families.h"

#include <gtest/gtest.h>

namespace kavex {
namespace {

TEST(CommDialogRules, PreparationPerCommand) {
  struct Case {
    TransferCommand command;
    const char* label;
    bool protocolEnabled;
    bool writeShown, readShown, charsEnabled;
    bool delayEnabled, intervalEnabled, numberShown, sumShown, endShown;
  };
  using C = TransferCommand;
  const Case cases[] = {
      {C::TerminalDownload, " TERMINAL ", false, false, false, true, false, false, false, false,
       false},
      {C::NwfDownload, "QRX-700/710/800", false, false, false, true, false, false, false, false,
       false},
      {C::Qrx6Download, "QRX-210/310/WNV-1000", true, true, false, true, true, false, true, true,
       false},
      {C::HkDownload, "HK-101/102        ", false, true, false, false, true, false, false, true,
       false},
      {C::TerminalUpload, " TERMINAL ", false, false, false, true, false, true, false, false,
       false},
      {C::NwfUpload, "QRX-700/710/800 ", false, false, false, true, false, true, false, false,
       true},
      {C::CoordinateUpload, "QRX-210/310/WNV-1000(Coords)", true, false, true, true, false, true,
       false, false, true},
      {C::PointCodeUpload, "QRX-210/310/WNV-1000(Pcode)", true, false, true, true, false, true,
       false, false, true},
  };
  for (const auto& c : cases) {
    const CommStatusPreparation p = CommStatusPreparationFor(c.command);
    const AdvancedPreparation a = AdvancedPreparationFor(c.command);
    EXPECT_EQ(p.instrumentLabel, c.label);
    EXPECT_EQ(p.protocolEnabled, c.protocolEnabled) << c.label;
    EXPECT_EQ(p.writeTextFileShown, c.writeShown) << c.label;
    EXPECT_EQ(p.readTextFileShown, c.readShown) << c.label;
    EXPECT_EQ(p.charactersEnabled, c.charsEnabled) << c.label;
    EXPECT_EQ(a.delayTimeEnabled, c.delayEnabled) << c.label;
    EXPECT_EQ(a.blockIntervalEnabled, c.intervalEnabled) << c.label;
    EXPECT_TRUE(a.receiveTimeoutEnabled);
    EXPECT_EQ(a.checkBlockNumberShown, c.numberShown) << c.label;
    EXPECT_EQ(a.checkBlockSumShown, c.sumShown) << c.label;
    EXPECT_EQ(a.addEndBlockShown, c.endShown) << c.label;
  }
  EXPECT_EQ(CommStatusPreparationFor(C::TerminalUpload).directionLabel, "Upload   :");
  CommSettings s;
  s.useAckNak = true;
  EXPECT_FALSE(ApplyPreparation(s, CommStatusPreparationFor(C::NwfDownload)).useAckNak);
  EXPECT_TRUE(ApplyPreparation(s, CommStatusPreparationFor(C::Qrx6Download)).useAckNak);
}

}  // namespace
}  // namespace kavex
