#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavex/shell/print_command.h"
#include "kavex/tests/support/fake_clock.h"
#include "kavex/tests/support/scripted_prompts.h"

namespace kavex {
namespace {

TEST(PrintOptions, FieldsAreCheckedAndRewritten) {
  struct Case {
    const char* typed;
    std::optional<std::string> chars;
    std::optional<std::string> interval;
  };
  const std::vector<Case> cases = {
      {"255", "255", std::nullopt},
      {"256", std::nullopt, std::nullopt},
      {"0", std::nullopt, std::nullopt},
      {"1", "1  ", "1.0"},
      {"2", "2  ", "2.0"},
      {"80", "80 ", std::nullopt},
      {"abc", std::nullopt, std::nullopt},
      {"-5", std::nullopt, std::nullopt},
      {"1.5", "1  ", "1.5"},
      {"0.99", std::nullopt, std::nullopt},
      {"2.01", "2  ", std::nullopt},
      {"", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AcceptCharsPerLine(c.typed), c.chars) << c.typed;
    EXPECT_EQ(AcceptLineInterval(c.typed), c.interval) << c.typed;
  }
  const PrintSettings s = ContinuePrintOptions("80 x", "1.55", true);
  EXPECT_EQ(s.charsPerLine, "80 ");
  EXPECT_EQ(s.lineInterval, "1.5");
  EXPECT_EQ(s.printLarge, 1);
  EXPECT_EQ(ContinuePrintOptions("80", "1.5", false).printLarge, 0);
}

TEST(PrintLayout, FontHeightAndLineStep) {
  EXPECT_EQ(FontHeightPixels(6, 600), 50);
  EXPECT_EQ(FontHeightPixels(11, 600), 92);  // 91.67
  EXPECT_EQ(FontHeightPixels(11, 300), 46);  // 45.83
  EXPECT_EQ(FontHeightPixels(6, 96), 8);
  EXPECT_EQ(PrintFontPoints({"100", "1.2", 1}), 11);
  EXPECT_EQ(PrintFontPoints({"100", "1.2", 0}), 6);

  struct Case {
    int font;
    const char* interval;
    int page;
    int step;
    int perPage;
  };
  for (const Case& c : std::vector<Case>{{50, "1.2", 6543, 60, 109},
                                         {50, "1.5", 300, 75, 4},
                                         {92, "1.2", 6543, 110, 59},
                                         {-50, "1.0", 100, 50, 2},
                                         {50, "1.0", 50, 50, 1},
                                         {45, "1.1", 100, 49, 2}}) {
    const auto layout = ComputePageLayout(c.font, {"80", c.interval, 0}, c.page);
    ASSERT_TRUE(layout) << c.font << " " << c.interval;
    EXPECT_EQ(layout->lineStep, c.step) << c.font << " " << c.interval;
    EXPECT_EQ(layout->linesPerPage, c.perPage) << c.font << " " << c.interval;
    EXPECT_EQ(layout->charsPerPiece, 80);
  }
  // Nothing can be printed with no characters a row or a step taller than the page.
  EXPECT_FALSE(ComputePageLayout(50, {"0", "1.2", 0}, 6543));
  EXPECT_FALSE(ComputePageLayout(50, {"", "1.2", 0}, 6543));
  EXPECT_FALSE(ComputePageLayout(50, {"80", "1.2", 0}, 59));
}

struct Drawn {
  int page;
  int y;
  std::string text;
  bool operator==(const Drawn&) const = default;
};

std::vector<Drawn> Lay(const std::vector<std::string>& lines, const PageLayout& layout) {
  std::vector<Drawn> out;
  int page = 1;
  LayOutLines(lines, layout, [&](const PrintedPiece& p) {
    if (p.newPage) ++page;
    out.push_back({page, p.y, std::string(p.text)});
  });
  return out;
}

TEST(PrintLayout, LongLinesContinueOnTheNextRows) {
  // 6 points, interval 1.5, 80 characters: a 200-character line takes rows of 80, 80, 40.
  const auto layout = ComputePageLayout(FontHeightPixels(6, 600), {"80 ", "1.5", 0}, 6000);
  ASSERT_TRUE(layout);
  const std::string a(80, 'a'), b(80, 'b'), c(40, 'c');
  const std::string exactly(80, 'x');
  EXPECT_EQ(Lay({a + b + c, exactly, "", exactly + "y"}, *layout),
            (std::vector<Drawn>{{1, 0, a},
                                {1, 75, b},
                                {1, 150, c},
                                {1, 225, exactly},
                                {1, 300, ""},
                                {1, 375, exactly},
                                {1, 450, "y"}}));
}

TEST(PrintLayout, PagesBreakWhenFull) {
  // Three rows a page: the fourth piece starts page 2 at the top, a piece cut across the
  // break continues there.
  const PageLayout layout{10, 4, 3};
  EXPECT_EQ(Lay({"one", "two", "threeABC", "four", "fiveX"}, layout),
            (std::vector<Drawn>{{1, 0, "one"},
                                {1, 10, "two"},
                                {1, 20, "thre"},
                                {2, 0, "eABC"},
                                {2, 10, "four"},
                                {2, 20, "five"},
                                {3, 0, "X"}}));
  EXPECT_EQ(CountPages({}, layout), 1u);
  EXPECT_EQ(CountPages({"1", "2", "3"}, layout), 1u);
  EXPECT_EQ(CountPages({"1", "2", "3", "4"}, layout), 2u);
  // A 300-line listing at 6 points, 1.2, on a page of 6417 pixels: 106 rows a page.
  const std::vector<std::string> listing(300, "line");
  const auto a4 = ComputePageLayout(50, {"100", "1.2", 0}, 6417);
  ASSERT_TRUE(a4);
  EXPECT_EQ(a4->linesPerPage, 106);
  EXPECT_EQ(CountPages(listing, *a4), 3u);
  EXPECT_EQ(CountPages(std::vector<std::string>(212, "x"), *a4), 2u);
  EXPECT_EQ(CountPages(std::vector<std::string>(213, "x"), *a4), 3u);
}

// Records what is drawn.
class RecordingPrinter : public Printer {
 public:
  bool Choose() override {
    calls.push_back("choose");
    return choose;
  }
  bool BeginDoc(int fontHeight) override {
    calls.push_back("begin " + std::to_string(fontHeight));
    return begin;
  }
  int DotsPerInchY() const override { return 600; }
  int PageHeight() const override { return pageHeight; }
  int PageWidth() const override { return pageWidth; }
  // A fixed pitch of six tenths of the height, whole pixels a character.
  int TextWidth(int fontHeight, int characters) const override {
    return characters * ((6 * fontHeight + 9) / 10);
  }
  void NewPage() override { calls.push_back("page"); }
  void TextOut(int x, int y, const std::string& text) override {
    calls.push_back(std::to_string(x) + "," + std::to_string(y) + " " + text);
  }
  bool EndDoc() override {
    calls.push_back("end");
    return end;
  }
  std::vector<std::string> calls;
  bool choose = true;
  bool begin = true;
  bool end = true;
  int pageHeight = 120;  // two rows of 60 at 6 points and 1.2
  int pageWidth = 100000;
};

TEST(PrintFit, TheLargestHeightThatFitsNeverAboveTheChosenOne) {
  struct Case {
    const char* chars;
    int large;
    int pageWidth;
    int height;
    const char* note;
  };
  for (const Case& c : std::vector<Case>{
           // 100 characters of 30 pixels fill 3000 exactly: that still fits.
           {"100", 0, 3000, 50, ""},
           {"101", 0, 3000, 48,
            "101 characters per line do not fit the page at 6 points: printed at 5.8 points."},
           {"100", 1, 3000, 50,
            "100 characters per line do not fit the page at 11 points: printed at 6.0 points."},
           {"255", 1, 3000, 18,
            "255 characters per line do not fit the page at 11 points: printed at 2.2 points."},
           {"1", 1, 3000, 92, ""},
           // Nothing fits: the smallest height rather than nothing at all.
           {"255", 0, 10, 1,
            "255 characters per line do not fit the page at 6 points: printed at 0.1 points."},
           // A printer that cannot say how wide its page is keeps the chosen size.
           {"255", 1, 0, 92, ""},
           {"", 1, 3000, 92, ""},
       }) {
    RecordingPrinter printer;
    printer.pageWidth = c.pageWidth;
    const PrintSettings settings{c.chars, "1.0", c.large};
    EXPECT_EQ(FittingFontHeight(settings, printer), c.height) << c.chars << " " << c.pageWidth;
    EXPECT_EQ(PrintFitNote(settings, printer), c.note) << c.chars << " " << c.pageWidth;
  }
  // The rows are printed at that height and stepped by it.
  RecordingPrinter printer;
  printer.pageWidth = 3000;
  printer.pageHeight = 1000;
  std::string failure;
  EXPECT_TRUE(PrintLines({std::string(101, 'a')}, {"101", "1.0", 0}, printer, failure));
  EXPECT_EQ(printer.calls,
            (std::vector<std::string>{"begin 48", "0,0 " + std::string(101, 'a'), "end"}));
}

TEST(PrintLines, DrawsPiecesAndPages) {
  RecordingPrinter printer;
  std::string failure;
  EXPECT_TRUE(PrintLines({"abcde", "f", "g"}, {"3  ", "1.2", 0}, printer, failure));
  EXPECT_EQ(printer.calls, (std::vector<std::string>{"begin 50", "0,0 abc", "0,60 de", "page",
                                                     "0,0 f", "0,60 g", "end"}));
  // 11 points at 600 dpi: 92 pixels, step 110.
  printer.calls.clear();
  printer.pageHeight = 220;
  EXPECT_TRUE(PrintLines({"a"}, {"100", "1.2", 1}, printer, failure));
  EXPECT_EQ(printer.calls, (std::vector<std::string>{"begin 92", "0,0 a", "end"}));
}

TEST(PrintLines, FailuresAreReported) {
  std::string failure;
  RecordingPrinter closed;
  closed.begin = false;
  EXPECT_FALSE(PrintLines({"a"}, {"100", "1.2", 0}, closed, failure));
  EXPECT_EQ(failure, kPrintFailedMessage);
  EXPECT_EQ(closed.calls, std::vector<std::string>{"begin 50"});

  RecordingPrinter full;
  full.end = false;
  EXPECT_FALSE(PrintLines({"a"}, {"100", "1.2", 0}, full, failure));
  EXPECT_EQ(failure, kPrintFailedMessage);

  // A settings file without its PRINT= line leaves no characters a row: refused, not a hang.
  RecordingPrinter unused;
  EXPECT_FALSE(PrintLines({"a"}, {"", "1.2", 0}, unused, failure));
  EXPECT_EQ(failure, kInvalidCharsPerLineMessage);
  EXPECT_FALSE(PrintLines({"a"}, {"100", "", 0}, unused, failure));
  EXPECT_EQ(failure, kInvalidLineIntervalMessage);
  EXPECT_TRUE(unused.calls.empty());
}

class ScriptedPrintOptions : public PrintOptionsDialog {
 public:
  bool Run(PrintSettings& settings) override {
    shown = settings;
    if (cont) settings = answer;
    return cont;
  }
  bool cont = true;
  PrintSettings answer{"2  ", "1.0", 0};
  PrintSettings shown;
};

TEST(PrintCurrentData, OptionsThenPrintDialogThenLines) {
  MemoryDataView view;
  testing::ScriptedPrompts prompts;
  testing::FakeClock clock;
  MainLogic logic(view, prompts, clock);
  view.SetLines({"abc"});
  ScriptedPrintOptions options;
  RecordingPrinter printer;

  options.cont = false;
  PrintCurrentData(logic, options, printer);
  EXPECT_TRUE(printer.calls.empty());
  EXPECT_EQ(logic.Settings().print, (PrintSettings{"100", "1.2", 1}));

  options.cont = true;
  printer.choose = false;
  PrintCurrentData(logic, options, printer);
  EXPECT_EQ(printer.calls, std::vector<std::string>{"choose"});
  // "Continue" stored the settings even though the print dialog was cancelled.
  EXPECT_EQ(logic.Settings().print, options.answer);

  printer.calls.clear();
  printer.choose = true;
  printer.end = false;
  prompts.ExpectMessage(kPrintFailedMessage);
  PrintCurrentData(logic, options, printer);
  EXPECT_EQ(options.shown, options.answer);
  EXPECT_EQ(printer.calls,
            (std::vector<std::string>{"choose", "begin 50", "0,0 ab", "0,50 c", "end"}));
  EXPECT_FALSE(prompts.busy);
}

}  // namespace
}  // namespace kavex
