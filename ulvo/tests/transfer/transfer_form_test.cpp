#include "ulvo/transfer/transfer_form.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ulvo/tests/transfer/scripted_transfer_prompts.h"
#include "ulvo/transfer/culvo_serial.h"
#include "ulvo/transfer/transfer_sheet.h"

namespace ulvo {
namespace {

namespace tt = transfer_texts;

using ScriptedPrompts = test::ScriptedTransferPrompts;

// Direction 1 (the file's SEND keys): 9600 and 19200, 8N1, ITF00 and ASCII, ACK NAK and
// XON XOFF; the ITF00 option needs ITF00 with ACK NAK.
const char* kStation =
    "[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\nINSTRUMENT=Station\n"
    "[CAPABILITIES]\nSENDBAUDRATES=320\nSENDPARITY=5\nSENDDATABITS=12\nSENDSTOPBITS=5\n"
    "SENDSOFTHANDSHAKE=3\nSENDHARDHANDSHAKE=15\nSENDDATAFORMAT=3\n"
    "RECEIVEBAUDRATES=64\nRECEIVEPARITY=1\nRECEIVEDATABITS=8\nRECEIVESTOPBITS=1\n"
    "RECEIVEDATAFORMAT=1\n"
    "[DEFAULTS]\nSENDBAUDRATES=64\nSENDPARITY=1\nSENDDATABITS=8\nSENDSTOPBITS=1\n"
    "SENDSOFTHANDSHAKE=1\nSENDHARDHANDSHAKE=3\nSENDDATAFORMAT=1\n"
    "[FIRSTMESSAGE]\nMESSAGE=Switch the instrument on\n"
    "[FORMATPROTOCOLSTICK]\nsend=1\ns1=2,2\n"
    "[SENDOPTIONS]\nITEMS=2\nITEMM_1=Coordinates\nITEMH_1=Start sending now\n"
    "ITEMF_1=ITF00 coordinates\nITEMD_1=2\nITEMS_1=2\n"
    "ITEMM_2=Text\nITEMH_2=Plain text\n"
    "[RECEIVEOPTIONS]\nITEMS=1\nITEMM_1=Upload\n";

CInstrument Station(const char* name = "Station") {
  std::string plain = kStation;
  plain.replace(plain.find("INSTRUMENT=Station"), 18, std::string("INSTRUMENT=") + name);
  CInstrument i;
  EXPECT_TRUE(i.LoadInterfaceText(EncodeInterfaceText(plain), nullptr));
  return i;
}

std::string Bracketed(const TransferText& t) {
  return std::string("[") + t.text + "]";
}

class TransferFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instruments = {Station("Other"), Station()};
    dir = std::filesystem::temp_directory_path() /
          ("ulvo_transfer_form_test-" +
           std::to_string(getpid()));  // tests of one fixture run side by side
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  TransferForm Make() { return TransferForm(instruments, store, UntranslatedText, prompts); }

  std::vector<CInstrument> instruments;
  MemoryProfileStore store;
  ScriptedPrompts prompts;
  std::filesystem::path dir;
};

TEST_F(TransferFormTest, SummaryTextsOfTheDefaults) {
  const TransferSummary s = SummaryOf(instruments[1], kDirectionReceive, UntranslatedText);
  EXPECT_EQ(s.lineSettings, "9600,none,8,1");
  EXPECT_EQ(s.softHandshake, "XON XOFF");
  EXPECT_EQ(s.hardHandshake, "DTR/RTS");
  EXPECT_EQ(s.dataFormat, "Dataformat: ASCII");

  // Highest bits win; all four hardware names; translated pieces.
  CInstrument i = instruments[1];
  i.SetParams(kDirectionReceive, {0x0140, MakeLineFormat(0x14, 0x0C, 0x05, 0x04), 0x0F, 0x0A});
  const TransferSummary t = SummaryOf(i, kDirectionReceive, Bracketed);
  EXPECT_EQ(t.lineSettings, "19200,[space],8,2");
  EXPECT_EQ(t.softHandshake, "[ACK NAK2]");
  EXPECT_EQ(t.hardHandshake, "[DTR]/[RTS]/[DSR]/[CTS]");
  EXPECT_EQ(t.dataFormat, "[Dataformat:] ITF02");

  // Nothing set: empty pieces, no handshake names.
  i.SetParams(kDirectionReceive, {});
  const TransferSummary e = SummaryOf(i, kDirectionReceive, UntranslatedText);
  EXPECT_EQ(e.lineSettings, ",,,");
  EXPECT_EQ(e.softHandshake, "");
  EXPECT_EQ(e.hardHandshake, "");
  EXPECT_EQ(e.dataFormat, "Dataformat: ");
}

TEST_F(TransferFormTest, OpenRestoresLastUsedActionAndOption) {
  store.SetText("INSTRUMENT", "LASTUSED", "Station");
  store.SetNumber("INSTRUMENT", "ACTION", kReceiveButtonId);
  store.SetNumber("INSTRUMENT", "OPTION", 1);
  TransferForm form = Make();
  form.Open();
  EXPECT_EQ(form.InstrumentIndex(), 1);
  EXPECT_EQ(form.Direction(), kDirectionReceive);
  EXPECT_EQ(form.OptionIndex(), 1);
  EXPECT_EQ(form.MessageText(), "Switch the instrument on");

  // An option index past the last option of the direction selects none; nothing stored
  // means the send direction and no instrument.
  MemoryProfileStore other;
  other.SetText("INSTRUMENT", "LASTUSED", "Station");
  other.SetNumber("INSTRUMENT", "OPTION", 1);  // direction 0 has one option
  TransferForm second(instruments, other, UntranslatedText, prompts);
  second.Open();
  EXPECT_EQ(second.Direction(), kDirectionSend);
  EXPECT_EQ(second.OptionIndex(), -1);

  MemoryProfileStore empty;
  TransferForm third(instruments, empty, UntranslatedText, prompts);
  third.Open();
  EXPECT_EQ(third.InstrumentIndex(), -1);
  EXPECT_EQ(third.MessageText(), tt::kFirstMessage.text);
}

TEST_F(TransferFormTest, NextChecksInOrderAndLeavesTheModeOnFailure) {
  TransferForm form = Make();
  form.Open();
  EXPECT_EQ(form.NextOrStart(), TransferForm::NextResult::kStopped);
  form.InstrumentChanged(1);
  EXPECT_EQ(form.NextOrStart(), TransferForm::NextResult::kStopped);
  form.DirectionChanged(kDirectionReceive);
  form.OptionChanged(1);  // the text option fits
  EXPECT_EQ(form.NextOrStart(), TransferForm::NextResult::kStopped);
  form.FileNameEdited((dir / "missing" / "x.txt").string());
  EXPECT_EQ(form.NextOrStart(), TransferForm::NextResult::kStopped);
  EXPECT_EQ(prompts.shown,
            (std::vector<std::string>{tt::kFirstSelectInstrument.text, tt::kFirstSelectOption.text,
                                      tt::kNoFileSpecified.text, tt::kDownloadPathNotFound.text}));
  EXPECT_EQ(form.Mode(), TransferForm::ButtonMode::kNext);
  EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(TransferFormTest, ReceiveDestinationChecks) {
  const std::filesystem::path data = dir / "data";  // made by the first receive into it
  const std::string folder = dir.string();
  struct Case {
    std::string name;
    std::string path;
    std::string refusal;  // empty: accepted
  };
  const Case cases[] = {
      {"bare.txt", (data / "bare.txt").string(), ""},
      {"/root-level.txt", "/root-level.txt", ""},
      {(dir / "in.txt").string(), (dir / "in.txt").string(), ""},
      {"sub/in.txt", (data / "sub" / "in.txt").string(), tt::kDownloadPathNotFound.text},
      {(dir / "nope" / "in.txt").string(), (dir / "nope" / "in.txt").string(),
       tt::kDownloadPathNotFound.text},
      {folder, folder, folder + "\nis a folder. Give the name of a file to receive into."},
  };
  for (const Case& c : cases) {
    TransferForm form = Make();
    form.SetDataFolder(data);
    form.InstrumentChanged(1);
    form.DirectionChanged(kDirectionReceive);
    form.OptionChanged(1);
    form.FileNameEdited(c.name);
    prompts.shown.clear();
    EXPECT_EQ(form.NextOrStart() == TransferForm::NextResult::kReady, c.refusal.empty()) << c.name;
    EXPECT_EQ(form.FilePath(), c.path);
    EXPECT_EQ(prompts.shown,
              c.refusal.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.refusal})
        << c.name;
  }
}

// The bar shows 100 % after a success; a new start or the other direction starts from 0.
TEST_F(TransferFormTest, ProgressAfterTheEndAndAfterAChangeOfDirection) {
  std::ofstream(dir / "job.txt") << "x";
  TransferForm form = Make();
  form.InstrumentChanged(1);
  form.OptionChanged(0);
  form.FileNameEdited((dir / "job.txt").string());
  const auto start = [&] {
    form.NextOrStart();
    ASSERT_EQ(form.NextOrStart(), TransferForm::NextResult::kStartTransfer);
  };
  const auto sent = [&](int percent) { form.Update({kUpdateProgress, 0, 0, 300, percent}); };
  struct Step {
    const char* what;
    std::function<void()> act;
    int progress;
    uint32_t bytes;
  } steps[] = {
      {"part sent", [&] { start(), sent(40); }, 40, 300},
      {"failed", [&] { form.TransferEnded(false); }, 40, 300},
      {"started again", start, 0, 0},
      {"succeeded", [&] { sent(99), form.TransferEnded(true); }, 100, 300},
      {"other direction", [&] { form.DirectionChanged(kDirectionReceive); }, 0, 0},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(form.Progress(), step.progress) << step.what;
    EXPECT_EQ(form.Bytes(), step.bytes) << step.what;
  }
}

// An existing destination is replaced only after a yes: typed in, or chosen in the save
// dialog (which asks itself). Every transfer needs a yes of its own.
TEST_F(TransferFormTest, ReceiveIntoAnExistingFileAsksFirst) {
  const std::string existing = (dir / "job.txt").string();
  const std::string other = (dir / "other.txt").string();
  std::ofstream(existing) << "yesterday";
  std::ofstream(other) << "older";
  const std::string question = existing + "\nThis file already exists.\nReplace existing file?";
  TransferForm form = Make();
  form.InstrumentChanged(1);
  form.DirectionChanged(kDirectionReceive);
  form.OptionChanged(1);
  using R = TransferForm::NextResult;
  struct Step {
    const char* what;
    std::function<void()> act;
    std::deque<bool> answers;
    R result;
    size_t asked;  // questions in this step
  } steps[] = {
      {"typed, No", [&] { form.FileNameEdited(existing); }, {false}, R::kStopped, 1},
      {"typed, Yes", [] {}, {true}, R::kReady, 1},
      {"start after the yes", [] {}, {}, R::kStartTransfer, 0},
      {"the next transfer asks again", [&] { form.TransferEnded(false); }, {true}, R::kReady, 1},
      {"chosen in the dialog", [&] { form.FileChosenInDialog(existing); }, {}, R::kReady, 0},
      {"and started", [] {}, {}, R::kStartTransfer, 0},
      {"another file typed after",
       [&] {
         form.TransferEnded(false);
         form.FileChosenInDialog(existing);
         form.FileNameEdited(other);
       },
       {true},
       R::kReady,
       1},
      {"a new file", [&] { form.FileNameEdited((dir / "new.txt").string()); }, {}, R::kReady, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    prompts.asked.clear();
    prompts.answers = step.answers;
    EXPECT_EQ(form.NextOrStart(), step.result);
    EXPECT_EQ(prompts.asked.size(), step.asked);
  }
  form.FileNameEdited(existing);
  prompts.asked.clear();
  prompts.answers = {false};
  form.NextOrStart();
  EXPECT_EQ(prompts.asked, std::vector<std::string>{question});
  EXPECT_EQ(form.Mode(), TransferForm::ButtonMode::kNext);
}

TEST_F(TransferFormTest, SendNeedsAnExistingFile) {
  TransferForm form = Make();
  form.InstrumentChanged(1);
  form.OptionChanged(0);
  form.FileNameEdited((dir / "absent.txt").string());
  EXPECT_EQ(form.NextOrStart(), TransferForm::NextResult::kStopped);
  form.FileNameEdited(dir.string());  // a folder is not a file to send
  EXPECT_EQ(form.NextOrStart(), TransferForm::NextResult::kStopped);
  EXPECT_EQ(prompts.shown, std::vector<std::string>(2, tt::kUploadFileNotFound.text));
  std::ofstream(dir / "present.txt") << "x";
  form.FileNameEdited((dir / "present.txt").string());
  EXPECT_EQ(form.NextOrStart(), TransferForm::NextResult::kReady);
}

TEST_F(TransferFormTest, RecommendationYesAppliesNoKeepsAndBothReachStart) {
  for (const bool yes : {true, false}) {
    std::vector<CInstrument> list = {Station()};
    MemoryProfileStore s;
    ScriptedPrompts p;
    TransferForm form(list, s, UntranslatedText, p);
    form.InstrumentChanged(0);
    form.DirectionChanged(kDirectionReceive);
    form.FileNameEdited("in.txt");
    p.answers = {yes};
    form.OptionChanged(0);  // asked once on choosing the option
    ASSERT_EQ(p.asked.size(), 1u);
    EXPECT_EQ(p.asked[0], tt::kUsePreferredParams.text);
    EXPECT_EQ(list[0].Params(kDirectionReceive).dataFormat, yes ? 2u : 1u);
    EXPECT_EQ(s.GetNumber("INSTRUMENT\\Station\\LASTUSED", "SENDFORMAT").has_value(), yes);
    p.answers = {false};
    const auto r = form.NextOrStart();  // and again on Next while it does not fit
    EXPECT_EQ(p.asked.size(), yes ? 1u : 2u);
    EXPECT_EQ(r, TransferForm::NextResult::kReady);
    EXPECT_EQ(form.Mode(), TransferForm::ButtonMode::kStart);
    EXPECT_EQ(form.MessageText(), "Start sending now");
    if (yes) {
      EXPECT_EQ(form.NextOrStart(), TransferForm::NextResult::kStartTransfer);
      EXPECT_TRUE(form.Running());
    }
    p.answers.clear();
  }
}

TEST_F(TransferFormTest, ChangesAfterNextGoBackToNext) {
  TransferForm form = Make();
  form.InstrumentChanged(1);
  form.DirectionChanged(kDirectionReceive);
  form.OptionChanged(1);
  form.FileNameEdited("in.txt");
  ASSERT_EQ(form.NextOrStart(), TransferForm::NextResult::kReady);
  form.InstrumentChanged(0);
  EXPECT_EQ(form.Mode(), TransferForm::ButtonMode::kNext);
  EXPECT_EQ(form.OptionIndex(), -1);
  form.OptionChanged(1);
  ASSERT_EQ(form.NextOrStart(), TransferForm::NextResult::kReady);
  form.FileNameEdited("other.txt");
  EXPECT_EQ(form.Mode(), TransferForm::ButtonMode::kNext);
  ASSERT_EQ(form.NextOrStart(), TransferForm::NextResult::kReady);
  form.OptionChanged(1);
  EXPECT_EQ(form.Mode(), TransferForm::ButtonMode::kNext);
}

TEST_F(TransferFormTest, EngineUpdatesShowTheLastRaisedText) {
  TransferForm form(instruments, store, Bracketed, prompts);
  form.Update({kUpdateProgress, 0, 0, 1234, 40});
  EXPECT_EQ(form.Bytes(), 1234u);
  EXPECT_EQ(form.Progress(), 40);
  form.Update({kUpdateError, 0, 6, 0, 0});
  EXPECT_EQ(form.MessageText(), "[Failed reading the comport]");
  EXPECT_EQ(form.Bytes(), 1234u);  // no progress flag: counters kept
  form.Update({kUpdateError | kUpdateStatus, 11, 12, 0, 0});
  EXPECT_EQ(form.MessageText(), "[Transfer failed]");
  form.Update({kUpdateStatus, 17, 0, 0, 0});  // unknown code: text kept
  EXPECT_EQ(form.MessageText(), "[Transfer failed]");
  form.Update({kUpdateError, 0, 17, 0, 0});  // last error code
  EXPECT_EQ(form.MessageText(), "[Specified protocol is not implemented yet]");
}

TEST_F(TransferFormTest, CloseRemembersChoices) {
  TransferForm form = Make();
  form.Close();  // no instrument: nothing stored
  EXPECT_FALSE(store.GetText("INSTRUMENT", "LASTUSED").has_value());
  form.InstrumentChanged(1);
  form.DirectionChanged(kDirectionReceive);
  form.OptionChanged(1);
  form.Close();
  EXPECT_EQ(store.GetText("INSTRUMENT", "LASTUSED"), "Station");
  EXPECT_EQ(store.GetNumber("INSTRUMENT", "ACTION"), kReceiveButtonId);
  EXPECT_EQ(store.GetNumber("INSTRUMENT", "OPTION"), 1);
  EXPECT_EQ(store.GetText("INSTRUMENT\\Station\\LASTUSED", "NAME"), "Station");
}

TEST(TransferSheet, ResultTakesOnlyShownPages) {
  const TransferParams current{0x40, MakeLineFormat(1, 8, 1, 1), 3, 1};
  EXPECT_EQ(SheetResult(current, std::nullopt, std::nullopt), current);
  const TransferParams speed = SheetResult(current, SpeedChoice{0x4000, 0x10, 1, 4}, std::nullopt);
  EXPECT_EQ(speed, (TransferParams{0x4000, MakeLineFormat(0x10, 1, 4, 1), 3, 1}));
  const TransferParams hs = SheetResult(current, std::nullopt, HandshakeChoice{4, 0x0C, 8});
  EXPECT_EQ(hs, (TransferParams{0x40, MakeLineFormat(1, 8, 1, 4), 0x0C, 8}));
  const TransferParams none = SheetResult(current, std::nullopt, HandshakeChoice{0, 0, 0});
  EXPECT_EQ(none, (TransferParams{0x40, MakeLineFormat(1, 8, 1, 0), 0, 0}));
}

TEST(TransferSheet, ChoicesShowTheHighestBit) {
  const TransferParams p{0x4140, MakeLineFormat(0x06, 0x0C, 0x05, 0x03), 0x1F, 0x0A};
  const SpeedChoice s = SpeedChoiceOf(p);
  EXPECT_EQ(s.baud, 0x4000u);
  EXPECT_EQ(s.parity, 4u);
  EXPECT_EQ(s.dataBits, 8u);
  EXPECT_EQ(s.stopBits, 4u);
  const HandshakeChoice h = HandshakeChoiceOf(p);
  EXPECT_EQ(h.soft, 2u);
  EXPECT_EQ(h.hard, 0x0Fu);
  EXPECT_EQ(h.format, 8u);
  EXPECT_EQ(BitsOf(0x8005, 15), (std::vector<uint32_t>{1, 4}));
}

TEST(TransferSheet, FormatHandshakeRule) {
  const CInstrument i = Station();
  EXPECT_EQ(RequiredHandshakeSwitch(i, kDirectionReceive, 2, 1), 2u);
  EXPECT_EQ(RequiredHandshakeSwitch(i, kDirectionReceive, 2, 0), 2u);
  EXPECT_EQ(RequiredHandshakeSwitch(i, kDirectionReceive, 2, 2), std::nullopt);
  EXPECT_EQ(RequiredHandshakeSwitch(i, kDirectionReceive, 1, 1), std::nullopt);
  EXPECT_EQ(RequiredHandshakeSwitch(i, kDirectionSend, 2, 1), std::nullopt);
  EXPECT_EQ(RequiredHandshakeSwitch(i, kDirectionReceive, 0, 1), std::nullopt);
}

}  // namespace
}  // namespace ulvo
