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

}  // namespace
}  // namespace kavex
