#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kavex/formats/replace_file.h"
#include "kavex/shell/download_commands.h"
#include "kavex/shell/main_logic.h"
#include "kavex/shell/print_command.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_device.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

using Lines = std::vector<std::string>;

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_file_commands_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir / "config");
    fs::create_directories(dir / "home");
    paths = {dir / "config" / "Kavex.ini", dir / "config" / "Kavex.ibk"};
    logic.Start(paths, (dir / "home").string());
  }
  void TearDown() override {
    EXPECT_FALSE(prompts.busy) << "left busy";
    fs::remove_all(dir);
  }

  static std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  std::string P(const std::string& name) const { return (dir / name).string(); }

  // Data typed by the user: lines, no file, modified.
  void Typed(const Lines& lines) { view.SetLines(lines); }
  // Data belonging to a file on disk, not modified.
  void Filed(const std::string& name, const Lines& lines) {
    WriteBytes(dir / name, "old\r\n");
    view.SetLines(lines);
    view.SetModified(false);
    logic.SetCurrentFile(P(name));
  }

  fs::path dir;
  SettingsPaths paths;
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic{view, prompts, clock};
};

TEST_F(FileCommandsTest, NewOnEmptyDataAsksNothing) {
  logic.New();
  EXPECT_TRUE(prompts.log.empty());
  EXPECT_EQ(view.LineCount(), 0u);
  EXPECT_EQ(view.FileLabel(), "(unsaved)");
}

TEST_F(FileCommandsTest, NewOnModifiedDataAsksFirst) {
  Typed({"a"});
  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultCancel);
  logic.New();
  EXPECT_EQ(view.Lines(), Lines{"a"});
  EXPECT_TRUE(view.Modified());

  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultOk);
  logic.New();
  EXPECT_EQ(view.LineCount(), 0u);
  EXPECT_FALSE(view.Modified());
  EXPECT_FALSE(logic.hasFile);
}

TEST_F(FileCommandsTest, NewOnFiledDataClearsWithoutAsking) {
  Filed("job.qr7", {"a", "b"});
  logic.New();
  EXPECT_TRUE(prompts.log.empty());
  EXPECT_EQ(view.LineCount(), 0u);
  EXPECT_EQ(view.FileLabel(), "(unsaved)");
  EXPECT_FALSE(logic.hasFile);
}

TEST_F(FileCommandsTest, OpenKeepsLongLinesWholeAndStripsLineEnds) {
  const std::string longLine(300, 'x');
  WriteBytes(dir / "job.qr6", longLine + "\r\nbare lf\nextra cr\r\r\n\r\nlast");
  prompts.ExpectOpen(P("job.qr6"));
  logic.Open();
  EXPECT_EQ(view.Lines(), (Lines{longLine, "bare lf", "extra cr", "", "last"}));
  EXPECT_FALSE(view.Modified());
  EXPECT_TRUE(logic.hasFile);
  EXPECT_EQ(logic.currentPath, P("job.qr6"));
  EXPECT_EQ(view.FileLabel(), P("job.qr6"));
  EXPECT_EQ(prompts.lastRequest.title, "Open File");
  EXPECT_EQ(prompts.lastRequest.filter,
            "QRX-6 Data(*.qr6)|*.qr6|QRX-7 Data(*.qr7)|*.qr7|Points(*.pts)|*.pts|Code(*.cod)|"
            "*.cod|HK-100 Data(*.hk1)|*.hk1|Text(*.txt)|*.txt|All Files(*.*)|*.*");
  EXPECT_EQ(prompts.lastRequest.initialFolder, (dir / "home").string());

  // Saving it back unchanged gives the same lines, each with CR LF.
  prompts.ExpectSave(P("copy.qr6"));
  logic.SaveAs();
  EXPECT_EQ(ReadBytes(dir / "copy.qr6"), longLine + "\r\nbare lf\r\nextra cr\r\n\r\nlast\r\n");
}

TEST_F(FileCommandsTest, OpenRefusalsLeaveTheDataAlone) {
  Typed({"keep"});
  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultCancel);
  logic.Open();  // no dialog after Cancel

  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultOk)
      .ExpectOpen(std::nullopt);
  logic.Open();

  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultOk)
      .ExpectOpen(P("missing.qr6"))
      .ExpectMessage("Fail to open file.");
  logic.Open();

  prompts.ExpectMessage("Current DATA will be lost.", kModeConfirmation, kResultOk)
      .ExpectOpen(dir.string())
      .ExpectMessage("Fail to open file.");
  logic.Open();

  EXPECT_EQ(view.Lines(), Lines{"keep"});
  EXPECT_TRUE(view.Modified());
  EXPECT_FALSE(logic.hasFile);
}

// What the program saves it opens again: a download of 76,000 blocks is 10.3 MB. Only a
// file beyond any survey data is refused.
TEST_F(FileCommandsTest, OpenTakesLargeDownloadsButNotAnyFile) {
  const std::string block = "\x02" + std::string(128, 'b') + "0123\x03";
  {
    std::ofstream out(dir / "big.qr6", std::ios::binary);
    for (int i = 0; i < 76'000; ++i) out << block << "\r\n";
  }
  prompts.ExpectOpen(P("big.qr6"));
  logic.Open();
  EXPECT_EQ(view.LineCount(), 76'000u);
  EXPECT_EQ(view.Lines().back(), block);
  EXPECT_TRUE(logic.hasFile);

  { std::ofstream out(dir / "huge.bin", std::ios::binary); }
  fs::resize_file(dir / "huge.bin", kDataFileLimit + 1);
  prompts.ExpectOpen(P("huge.bin"))
      .ExpectMessage("File too large: Kavex opens files of at most 64 MiB.");
  logic.Open();
  EXPECT_EQ(view.LineCount(), 76'000u);  // the current data stays
  EXPECT_EQ(logic.currentPath, P("big.qr6"));
}

TEST_F(FileCommandsTest, SaveWritesOnlyModifiedData) {
  Filed("job.qr7", {"new"});
  logic.Save();  // not modified: nothing written, nothing asked
  EXPECT_EQ(ReadBytes(dir / "job.qr7"), "old\r\n");
  EXPECT_TRUE(prompts.log.empty());

  view.AppendLine("more");
  logic.Save();
  EXPECT_EQ(ReadBytes(dir / "job.qr7"), "new\r\nmore\r\n");
  EXPECT_FALSE(view.Modified());
  EXPECT_EQ(prompts.texts, Lines{"Saving Now ..."});
  EXPECT_FALSE(fs::exists(dir / "job.OLD"));
}

TEST_F(FileCommandsTest, SaveOfTypedDataAsksForAName) {
  Typed({"P1", "P2"});
  prompts.ExpectSave(std::nullopt);
  logic.Save();
  EXPECT_FALSE(logic.hasFile);
  EXPECT_TRUE(view.Modified());

  const std::string longName = P(std::string(150, 'n') + ".pts");
  prompts.ExpectSave(longName);
  logic.Save();
  EXPECT_EQ(ReadBytes(longName), "P1\r\nP2\r\n");
  EXPECT_TRUE(logic.hasFile);
  EXPECT_EQ(logic.currentPath, longName);  // the whole path, never cut
  EXPECT_EQ(view.FileLabel(), longName);
  EXPECT_FALSE(view.Modified());
}

TEST_F(FileCommandsTest, SaveOverAnExistingFileKeepsItAsOld) {
  WriteBytes(dir / "job.qr6", "previous\r\n");
  WriteBytes(dir / "job.OLD", "older\r\n");
  Typed({"fresh"});
  prompts.ExpectSave(P("job.qr6"))
      .ExpectMessage("File exists Overwrite?", kModeConfirmation, kResultCancel);
  logic.Save();
  EXPECT_EQ(ReadBytes(dir / "job.qr6"), "previous\r\n");
  EXPECT_EQ(ReadBytes(dir / "job.OLD"), "older\r\n");
  EXPECT_FALSE(logic.hasFile);

  prompts.ExpectSave(P("job.qr6"))
      .ExpectMessage("File exists Overwrite?", kModeConfirmation, kResultOk);
  logic.Save();
  EXPECT_EQ(ReadBytes(dir / "job.qr6"), "fresh\r\n");
  EXPECT_EQ(ReadBytes(dir / "job.OLD"), "previous\r\n");
  EXPECT_TRUE(logic.hasFile);
}

TEST_F(FileCommandsTest, SaveAsAlwaysAsksWhenThereIsSomethingToSave) {
  logic.SaveAs();  // empty and not modified: nothing
  EXPECT_TRUE(prompts.log.empty());

  Filed("job.qr7", {"same"});
  prompts.ExpectSave(P("other.qr7"));
  logic.SaveAs();
  EXPECT_EQ(ReadBytes(dir / "other.qr7"), "same\r\n");
  EXPECT_EQ(logic.currentPath, P("other.qr7"));
  EXPECT_EQ(prompts.positions, (std::vector<int>{0, 100}));
}

TEST_F(FileCommandsTest, SaveFailureChangesNothing) {
  Filed("job.qr7", {"a"});
  view.AppendLine("b");
  prompts.ExpectSave(P("no-such-folder/x.qr7"))
      .ExpectMessage("Saving Aborted.\n" + P("no-such-folder/x.qr7") +
                     ": No such file or directory");
  logic.SaveAs();
  EXPECT_EQ(logic.currentPath, P("job.qr7"));
  EXPECT_TRUE(logic.hasFile);
  EXPECT_TRUE(view.Modified());

  // An overwrite that cannot be written puts the previous file back.
  SetReplaceStepHook([](ReplaceStep step, const fs::path& path) {
    return step == ReplaceStep::Write && path.filename().string().starts_with("locked.qr7") ? EISDIR
                                                                                            : 0;
  });
  WriteBytes(dir / "locked.qr7", "previous\r\n");
  prompts.ExpectSave(P("locked.qr7"))
      .ExpectMessage("File exists Overwrite?", kModeConfirmation, kResultOk)
      .ExpectMessage("Saving Aborted.\n" + P("locked.qr7") + ": Is a directory");
  logic.SaveAs();
  SetReplaceStepHook({});
  EXPECT_EQ(ReadBytes(dir / "locked.qr7"), "previous\r\n");
  EXPECT_EQ(logic.currentPath, P("job.qr7"));
}

// A save over an existing file that fails (here a full disk) never takes the file's name
// away, not even while "Saving Aborted." is on the screen, and keeps an older backup.
TEST_F(FileCommandsTest, FailedOverwriteKeepsTheFileAndItsBackup) {
  struct WatchingPrompts : testing::ScriptedPrompts {
    int MessageBox(const std::string& text, int mode, bool beep) override {
      if (text.rfind("Saving Aborted.", 0) == 0) {
        seen = ReadBytes(file) + "|" + ReadBytes(backup);
      }
      return ScriptedPrompts::MessageBox(text, mode, beep);
    }
    fs::path file, backup;
    std::string seen;
  } watching;
  watching.file = dir / "job.qr6";
  watching.backup = dir / "job.OLD";
  MainLogic full(view, watching, clock);
  full.workDir = dir;
  WriteBytes(dir / "job.qr6", "previous\r\n");
  WriteBytes(dir / "job.OLD", "older\r\n");
  // The disk is full for the new bytes (a link at the temporary name once did that; a link
  // there is no longer written through).
  SetReplaceStepHook(
      [](ReplaceStep step, const fs::path&) { return step == ReplaceStep::Write ? ENOSPC : 0; });
  const std::string why = "No space left on device";
  Typed({"fresh"});
  watching.ExpectSave(P("job.qr6"))
      .ExpectMessage("File exists Overwrite?", kModeConfirmation, kResultOk)
      .ExpectMessage("Saving Aborted.\n" + P("job.qr6") + ": " + why);
  full.Save();
  EXPECT_EQ(watching.seen, "previous\r\n|older\r\n");
  EXPECT_EQ(ReadBytes(dir / "job.qr6"), "previous\r\n");
  EXPECT_EQ(ReadBytes(dir / "job.OLD"), "older\r\n");
  EXPECT_FALSE(full.hasFile);
  EXPECT_TRUE(view.Modified());
  SetReplaceStepHook({});

  // Once the disk has room the same save makes the backup as before.
  watching.ExpectSave(P("job.qr6"))
      .ExpectMessage("File exists Overwrite?", kModeConfirmation, kResultOk);
  full.Save();
  EXPECT_EQ(ReadBytes(dir / "job.qr6"), "fresh\r\n");
  EXPECT_EQ(ReadBytes(dir / "job.OLD"), "previous\r\n");
  EXPECT_FALSE(fs::exists(dir / "job.qr6.tmp~"));
}

TEST_F(FileCommandsTest, FileDialogsMoveTheFolderOfAutomaticNames) {
  fs::create_directories(dir / "jobs");
  Typed({"a"});
  prompts.ExpectSave(P("jobs/x.qr7"));
  logic.Save();
  Typed({"b"});
  // The name is offered with its folder, so the user knows where to look for it.
  prompts.ExpectSaveCurrent("Cvt to NWF", P("jobs/16123101.qr6"), true);
  logic.SaveCurrentData("Cvt to NWF", ".qr6");
  EXPECT_EQ(ReadBytes(dir / "jobs" / "16123101.qr6"), "b\r\n");
}

TEST_F(FileCommandsTest, DataDirBecomesTheDialogsFolder) {
  fs::create_directories(dir / "data");
  prompts.ExpectFolder(std::nullopt);
  logic.DataDir();
  EXPECT_EQ(logic.Settings().dataDir, (dir / "home").string());

  prompts.ExpectFolder(P("data"));
  logic.DataDir();
  EXPECT_EQ(logic.Settings().dataDir, P("data"));
  EXPECT_EQ(logic.OpenRequest().initialFolder, P("data"));
  EXPECT_EQ(logic.SaveRequest().initialFolder, P("data"));
  EXPECT_EQ(logic.MakeDefaultFileName(".qr6"), "16123101.qr6");
  EXPECT_EQ(logic.Resolve("x"), dir / "data" / "x");
}

// A settings dialog's OK writes Kavex.ini at once (with its backup, as closing does), so a
// program killed afterwards keeps what was chosen; Cancel and an unchanged OK write nothing.
TEST_F(FileCommandsTest, SettingsDialogsWriteTheSettingsFileAtOnce) {
  // Comm Status with the protocol, and its Advanced Options, changed as the user would.
  struct CommStatus : TransferDialogs {
    bool ShowCommStatus(TransferCommand, CommSettings& settings) override {
      settings.useAckNak = true;
      settings.delayTime = "250";
      return go;
    }
    TransferProgress& Progress() override { return progress; }
    bool go = false;
    TransferProgress progress;
  };
  struct PrintOptions : PrintOptionsDialog {
    bool Run(PrintSettings& settings) override {
      settings.charsPerLine = "80 ";
      return true;
    }
  };
  struct NoPrinter : Printer {
    bool Choose() override { return false; }
    bool BeginDoc(int) override { return false; }
    int DotsPerInchY() const override { return 300; }
    int PageHeight() const override { return 3000; }
    int PageWidth() const override { return 2000; }
    int TextWidth(int, int) const override { return 0; }
    void NewPage() override {}
    void TextOut(int, int, const std::string&) override {}
    bool EndDoc() override { return false; }
  };
  fs::create_directories(dir / "data");
  const struct {
    const char* what;
    std::function<void()> ok;
    const char* line;  // on disk afterwards
  } cases[] = {
      {"Advanced Options OK, Comm Status cancelled",
       [this] {
         testing::ScriptedDevice device(clock);
         CommPort port(device, clock, [](const std::string&) {});
         CommStatus dialogs;
         RunDownload(DownloadKind::Terminal, logic, port, dialogs, {});
       },
       "ADVANCED=400 ,250,10000,Y,Y,Y"},
      {"Comm Status GO",
       [this] {
         testing::ScriptedDevice device(clock);
         device.Send("\x04");
         CommPort port(device, clock, [](const std::string&) {});
         port.SetPortPath("COM1", "/dev/ttyUSB0");
         CommStatus dialogs;
         dialogs.go = true;
         RunDownload(DownloadKind::Terminal, logic, port, dialogs, {});
       },
       "PROTOCOL=A,N,N"},
      {"Print Continue, print dialog cancelled",
       [this] {
         PrintOptions options;
         NoPrinter printer;
         PrintCurrentData(logic, options, printer);
       },
       "PRINT=80 ,1.2,1"},
      {"Data Dir OK",
       [this] {
         prompts.ExpectFolder(P("data"));
         logic.DataDir();
       },
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(paths.settingsFile);
    fs::remove(paths.backupFile);
    logic.Start(paths, (dir / "home").string());
    c.ok();
    const std::string disk = ReadBytes(paths.settingsFile);
    const std::string line = c.line ? c.line : "DATA_DIR=" + P("data");
    EXPECT_NE(disk.find(line + "\r\n"), std::string::npos) << disk;
    EXPECT_TRUE(prompts.Done());
  }
  // Nothing changed: nothing written, and the previous copy stays the backup.
  const std::string backup = ReadBytes(paths.backupFile);
  prompts.ExpectFolder(P("data"));
  logic.DataDir();
  EXPECT_EQ(ReadBytes(paths.backupFile), backup);
}

TEST_F(FileCommandsTest, StartFallsBackToHomeWhenTheDataDirIsGone) {
  fs::create_directories(dir / "data");
  WriteBytes(paths.settingsFile, "DATA_DIR=" + P("data") + "\r\nUPDDLG=N\r\n");
  logic.Start(paths, (dir / "home").string());
  EXPECT_EQ(logic.Settings().dataDir, P("data"));
  EXPECT_FALSE(logic.Settings().showUpdateDialog);

  fs::remove(dir / "data");
  logic.Start(paths, (dir / "home").string());
  EXPECT_EQ(logic.Settings().dataDir, (dir / "home").string());
  EXPECT_EQ(logic.workDir, dir / "home");
}

TEST_F(FileCommandsTest, CloseWithNothingChangedWritesTheDefaults) {
  ASSERT_TRUE(logic.Close(paths));
  EXPECT_TRUE(prompts.log.empty());
  EXPECT_EQ(ReadBytes(paths.settingsFile), "DATA_DIR=" + (dir / "home").string() +
                                               "\r\n"
                                               "PROTOCOL=N,N,N\r\n"
                                               "COM_STATUS=COM1,9600,8,N,1\r\n"
                                               "ADVANCED=400 ,100,10000,Y,Y,Y\r\n"
                                               "PRINT=100,1.2,1\r\n"
                                               "UPDDLG=Y\r\n");
  EXPECT_FALSE(fs::exists(paths.backupFile));
}

TEST_F(FileCommandsTest, CloseOfTypedDataCanBeCancelledAtEveryQuestion) {
  WriteBytes(dir / "job.qr6", "previous\r\n");
  Typed({"typed"});
  prompts.ExpectMessage("Save the current DATA?", kModeQuestion, kResultCancel);
  EXPECT_FALSE(logic.Close(paths));
  prompts.ExpectMessage("Save the current DATA?", kModeQuestion, kResultYes)
      .ExpectSave(std::nullopt);
  EXPECT_FALSE(logic.Close(paths));
  prompts.ExpectMessage("Save the current DATA?", kModeQuestion, kResultYes)
      .ExpectSave(P("job.qr6"))
      .ExpectMessage("File exists Overwrite?", kModeConfirmation, kResultCancel);
  EXPECT_FALSE(logic.Close(paths));
  // A save that fails keeps the window open, so the data is not lost.
  prompts.ExpectMessage("Save the current DATA?", kModeQuestion, kResultYes)
      .ExpectSave(P("no-such-folder/x.qr6"))
      .ExpectMessage("Saving Aborted.\n" + P("no-such-folder/x.qr6") +
                     ": No such file or directory");
  EXPECT_FALSE(logic.Close(paths));

  EXPECT_EQ(view.Lines(), Lines{"typed"});
  EXPECT_EQ(ReadBytes(dir / "job.qr6"), "previous\r\n");
  EXPECT_FALSE(fs::exists(paths.settingsFile));
}

TEST_F(FileCommandsTest, CloseOfTypedDataSavesOrDrops) {
  WriteBytes(dir / "job.qr6", "previous\r\n");
  Typed({"typed"});
  prompts.ExpectMessage("Save the current DATA?", kModeQuestion, kResultYes)
      .ExpectSave(P("job.qr6"))
      .ExpectMessage("File exists Overwrite?", kModeConfirmation, kResultOk);
  EXPECT_TRUE(logic.Close(paths));
  EXPECT_EQ(ReadBytes(dir / "job.qr6"), "typed\r\n");
  EXPECT_EQ(ReadBytes(dir / "job.OLD"), "previous\r\n");
  EXPECT_TRUE(fs::exists(paths.settingsFile));

  Typed({"dropped"});
  logic.hasFile = false;
  prompts.ExpectMessage("Save the current DATA?", kModeQuestion, kResultNo);
  EXPECT_TRUE(logic.Close(paths));
  EXPECT_EQ(ReadBytes(dir / "job.qr6"), "typed\r\n");
}

TEST_F(FileCommandsTest, CloseOfChangedFileAsksSaveChanges) {
  Filed("job.qr7", {"a"});
  view.AppendLine("b");
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultCancel);
  EXPECT_FALSE(logic.Close(paths));
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultNo);
  EXPECT_TRUE(logic.Close(paths));
  EXPECT_EQ(ReadBytes(dir / "job.qr7"), "old\r\n");
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultYes);
  EXPECT_TRUE(logic.Close(paths));
  EXPECT_EQ(ReadBytes(dir / "job.qr7"), "a\r\nb\r\n");
  EXPECT_FALSE(fs::exists(dir / "job.OLD"));

  // The file went away and its folder cannot be written: stay open.
  view.AppendLine("c");
  logic.SetCurrentFile(P("gone/job.qr7"));
  prompts.ExpectMessage("Save changes?", kModeQuestion, kResultYes)
      .ExpectMessage("Saving Aborted.\n" + P("gone/job.qr7") + ": No such file or directory");
  EXPECT_FALSE(logic.Close(paths));
}

}  // namespace
}  // namespace kavex
