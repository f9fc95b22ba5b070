#include "kavex/shell/conversions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kavex/shell/convert_commands.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace fs = std::filesystem;

namespace kavex {
namespace {

class OkOptions final : public CvtQ6to7OptionsDialog {
 public:
  bool Run(const std::string&, CvtQ6to7Options&) override { return true; }
};

class OkConfirm final : public ConfirmDialog {
 public:
  bool ConfirmNwfToQrx6(const std::string&, NwfToQrx6Options&) override { return true; }
  bool ConfirmDxf(const std::string&) override { return true; }
};

// What kavex-cli convert prints first for an input: the conversion's own check and run.
std::string CommandLineMessage(const Conversion& c, const fs::path& input) {
  if (c.check) {
    const FileConversion checked = c.check(input);
    if (checked.status != FileConversion::kDone) return checked.message;
  }
  return c.run(input, {}, [](const std::string&) {}, {}).message;
}

// The window's command and kavex-cli take their texts from the same row: an input that
// cannot be read, or is refused, reads the same in both.
TEST(Conversions, WindowAndCommandLineShowTheSameText) {
  const fs::path dir = fs::temp_directory_path() / "kavex_conversions_same_text";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "codes.qr6") << "\x02_:001TREE      _\n";  // no coordinates
  std::ofstream(dir / "bad.pts") << ",1,2,3\n";                  // begins with a comma
  const struct {
    ConversionKind kind;
    const char* file;
    const char* text;
  } cases[] = {
      {ConversionKind::kToNwf, "none.qr6", "Failed to open file."},
      {ConversionKind::kToHkText, "none.hk1", "Failed to open file."},
      {ConversionKind::kToQrx6, "none.qr7", "Fail to open file."},
      {ConversionKind::kToCoordinates, "none.pts", "Failed to open file."},
      {ConversionKind::kToPointCodes, "none.cod", "Failed to open file"},
      {ConversionKind::kToDxf, "none.qr6", "Loading Aborted."},
      {ConversionKind::kToDxf, "codes.qr6", "Can't convert this type"},
      {ConversionKind::kToCoordinates, "bad.pts", "Invalid data."},
  };
  for (const auto& c : cases) {
    const Conversion& conversion = ConversionOf(c.kind);
    SCOPED_TRACE(std::string(conversion.word) + " " + c.file);
    const fs::path input = dir / c.file;
    const std::string cli = CommandLineMessage(conversion, input);
    EXPECT_EQ(cli.substr(0, cli.find('\n')), c.text);

    MemoryDataView view;
    testing::ScriptedPrompts prompts;
    testing::FakeClock clock;
    MainLogic logic(view, prompts, clock);
    logic.SetCurrentFile(input.string());
    view.SetModified(false);
    OkOptions options;
    OkConfirm confirm;
    CvtQ6to7Options cvtOptions;
    TargetCounter counter;
    NwfToQrx6Options qrx6Options;
    ConversionContext context{options, confirm, cvtOptions, counter, qrx6Options};
    prompts.ExpectMessage(cli);
    EXPECT_EQ(conversion.command(logic, context), kConversionFileError);
    EXPECT_TRUE(prompts.Done());
  }
  fs::remove_all(dir);
}

// Each conversion's result offers and preselects its own type in the save dialog, so a
// drawing saved as "plot" does not become plot.qr6.
TEST(Conversions, EachResultIsSavedAsItsOwnType) {
  const fs::path dir = fs::temp_directory_path() / "kavex_conversions_save_type";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string coords = "\x02_+P1        _ x +00001000_ y +00002000_ z +00003000_" +
                             std::string(76, ' ') + "0000\x03\n";
  const struct {
    ConversionKind kind;
    const char* file;
    std::string text;
    const char* type;
    const char* offered;  // the filter entry the save dialog shows first
  } cases[] = {
      {ConversionKind::kToNwf, "in.qr6", coords, ".qr7", "QRX-7 Data(*.qr7)|*.qr7"},
      {ConversionKind::kToHkText, "in.hk1", "a,11,JOB1,M1,,1612311200,\n", ".txt",
       "Text(*.txt)|*.txt"},
      {ConversionKind::kToQrx6, "in.qr7", "JOB     J1\n", ".qr6", "QRX-6 Data(*.qr6)|*.qr6"},
      {ConversionKind::kToCoordinates, "in.pts", "P1,1,2,3\n", ".qr6", "QRX-6 Data(*.qr6)|*.qr6"},
      {ConversionKind::kToPointCodes, "in.cod", "TREE\n", ".qr6", "QRX-6 Data(*.qr6)|*.qr6"},
      {ConversionKind::kToDxf, "dxf.qr6", coords, ".dxf", "DXF(*.dxf)|*.dxf"},
  };
  for (const auto& c : cases) {
    const Conversion& conversion = ConversionOf(c.kind);
    SCOPED_TRACE(conversion.word);
    std::ofstream(dir / c.file, std::ios::binary) << c.text;
    MemoryDataView view;
    testing::ScriptedPrompts prompts;
    testing::FakeClock clock;
    MainLogic logic(view, prompts, clock);
    logic.SetCurrentFile((dir / c.file).string());
    view.SetModified(false);
    OkOptions options;
    OkConfirm confirm;
    CvtQ6to7Options cvtOptions;
    TargetCounter counter;
    NwfToQrx6Options qrx6Options;
    ConversionContext context{options, confirm, cvtOptions, counter, qrx6Options};
    conversion.command(logic, context);
    ASSERT_GT(view.LineCount(), 0u);
    const FileDialogRequest request = logic.SaveRequest();
    EXPECT_EQ(request.defaultExtension, c.type);
    EXPECT_NE(request.filter.find(c.offered), std::string::npos) << request.filter;
    EXPECT_TRUE(prompts.Done());
  }
  // A file opened keeps its own type; New forgets it.
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic(view, prompts, clock);
  logic.SetCurrentFile((dir / "JOB.QR7").string());
  EXPECT_EQ(logic.SaveRequest().defaultExtension, ".qr7");
  logic.SetCurrentFile((dir / "notes.doc").string());
  EXPECT_EQ(logic.SaveRequest().defaultExtension, "");
  logic.SetCurrentFile((dir / "plan.dxf").string());
  logic.New();
  EXPECT_EQ(logic.SaveRequest().defaultExtension, "");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavex
