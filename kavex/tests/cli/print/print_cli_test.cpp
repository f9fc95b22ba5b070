#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Prints with kavex-cli and reads the PDF back with pdftotext.
class PrintCli : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kavex_print_cli_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_EQ(std::system("command -v pdftotext >/dev/null"), 0)
        << "pdftotext (poppler-utils, see scripts/deps) is needed to read the PDF back";
  }
  void TearDown() override { fs::remove_all(dir); }

  int Run(const std::string& args) {
    const std::string command = std::string(SURVEY_BIN_DIR) + "/kavex-cli print " + args + " >" +
                                (dir / "stdout").string() + " 2>" + (dir / "stderr").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string Listing(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& l : lines) bytes += l + "\r\n";
    std::ofstream(dir / "list.txt", std::ios::binary) << bytes;
    return (dir / "list.txt").string();
  }
  // The text of each page, one row a line.
  std::vector<std::vector<std::string>> Pages() {
    const std::string txt = (dir / "out.txt").string();
    EXPECT_EQ(std::system(("pdftotext " + (dir / "out.pdf").string() + " " + txt).c_str()), 0);
    std::vector<std::vector<std::string>> pages(1);
    std::string row;
    for (char c : Read(txt)) {
      if (c == '\n' || c == '\f') {
        if (!row.empty()) pages.back().push_back(row);
        row.clear();
        if (c == '\f') pages.emplace_back();
      } else {
        row += c;
      }
    }
    if (pages.back().empty()) pages.pop_back();
    return pages;
  }

  // Each printed row of the first page as pdftotext places it, in points.
  struct Box {
    double xMin, yMin, xMax;
    std::string text;
  };
  std::vector<Box> Boxes() {
    const std::string html = (dir / "out.html").string();
    EXPECT_EQ(std::system(
                  ("pdftotext -bbox -f 1 -l 1 " + (dir / "out.pdf").string() + " " + html).c_str()),
              0);
    std::vector<Box> boxes;
    const std::string text = Read(html);
    for (size_t at = text.find("<word "); at != std::string::npos;
         at = text.find("<word ", at + 1)) {
      auto number = [&](const char* name) {
        const size_t p = text.find(name, at) + std::string(name).size();
        return std::strtod(text.c_str() + p, nullptr);
      };
      const size_t open = text.find('>', at) + 1;
      boxes.push_back({number("xMin=\""), number("yMin=\""), number("xMax=\""),
                       text.substr(open, text.find('<', open) - open)});
    }
    return boxes;
  }

  fs::path dir;
};

std::vector<std::string> Numbered(int count) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "L%03d", i);
    lines.emplace_back(name);
  }
  return lines;
}

TEST_F(PrintCli, LongListingBreaksIntoPagesOfTheLayout) {
  // A4 (842 points) less two half-inch margins is 770 points, 6417 pixels at 600 dpi; 6 points
  // are 50 pixels, 1.2 gives a step of 60, so 106 rows a page. Lines 100, 200 and 300 take three
  // rows of 50, 50 and 20.
  std::vector<std::string> lines = Numbered(300);
  for (int i : {100, 200, 300}) lines[i - 1] += std::string(45, 'a') + std::string(50, 'b') + "cc";
  ASSERT_EQ(lines[99].size(), 101u);
  lines[99] += std::string(19, 'c');
  lines[199] += std::string(19, 'c');
  lines[299] += std::string(19, 'c');
  const std::string in = Listing(lines);
  ASSERT_EQ(Run(in + " -o " + (dir / "out.pdf").string() + " --chars 50"), 0)
      << Read(dir / "stderr");

  std::vector<std::string> rows;
  for (const std::string& l : lines) {
    for (size_t start = 0; start < l.size(); start += 50) rows.push_back(l.substr(start, 50));
  }
  ASSERT_EQ(rows.size(), 306u);
  const auto pages = Pages();
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0], std::vector<std::string>(rows.begin(), rows.begin() + 106));
  EXPECT_EQ(pages[1], std::vector<std::string>(rows.begin() + 106, rows.begin() + 212));
  EXPECT_EQ(pages[2], std::vector<std::string>(rows.begin() + 212, rows.end()));
  EXPECT_EQ(pages[0][98], "L099");
  EXPECT_EQ(pages[0][99], "L100" + std::string(45, 'a') + "b");
  EXPECT_EQ(pages[0][101], std::string(20, 'c'));
}

TEST_F(PrintCli, OptionsChangeTheRowsAPage) {
  const std::string in = Listing(Numbered(300));
  const std::string out = " -o " + (dir / "out.pdf").string();
  struct Case {
    const char* options;
    size_t pages;
    size_t firstPageRows;
  };
  // 11 points: 92 pixels, step 110, 58 rows (40 characters fit the width at 11 points).
  // Interval 2.0 at 6 points: step 100, 64 rows. 1.0: step 50, 128 rows (140 fit at 6 points).
  for (const Case& c : std::vector<Case>{{"", 3, 106},
                                         {" --large --chars 40", 6, 58},
                                         {" --interval 2", 5, 64},
                                         {" --interval 1.0 --chars 140", 3, 128}}) {
    ASSERT_EQ(Run(in + out + c.options), 0) << c.options << Read(dir / "stderr");
    const auto pages = Pages();
    ASSERT_EQ(pages.size(), c.pages) << c.options;
    EXPECT_EQ(pages[0].size(), c.firstPageRows) << c.options;
    EXPECT_EQ(pages.back().back(), "L300") << c.options;
  }
}

TEST_F(PrintCli, RowsStayInsideThePrintableWidth) {
  // A4 is 595.28 points wide; with half-inch margins the rows must lie within 36..559.28.
  // Interval 1.0 makes the row step the font height: pixels at 600 dpi are 0.12 points.
  constexpr double kLeft = 36.0, kRight = 595.28 - 36.0;
  struct Case {
    const char* options;
    int chars;
    int chosenPixels;
    bool reduced;
  };
  for (const Case& c : std::vector<Case>{{"", 100, 50, false},
                                         {" --large", 100, 92, true},
                                         {" --chars 255", 255, 50, true},
                                         {" --large --chars 1", 1, 92, false},
                                         {" --large --chars 40", 40, 92, false}}) {
    std::vector<std::string> lines;
    for (int i = 0; i < 3; ++i) {
      std::string row;
      for (int k = 0; k < c.chars; ++k) row += static_cast<char>('0' + (i + k) % 10);
      lines.push_back(row);
    }
    ASSERT_EQ(
        Run(Listing(lines) + " -o " + (dir / "out.pdf").string() + " --interval 1.0" + c.options),
        0)
        << c.options;
    const std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u) << c.options;
    const int pixels = static_cast<int>(std::lround((boxes[1].yMin - boxes[0].yMin) / 0.12));
    for (size_t i = 0; i < boxes.size(); ++i) {
      EXPECT_EQ(boxes[i].text, lines[i]) << c.options;
      EXPECT_NEAR(boxes[i].xMin, kLeft, 0.01) << c.options;
      EXPECT_LE(boxes[i].xMax, kRight) << c.options;
    }
    const std::string warning = Read(dir / "stderr");
    if (!c.reduced) {
      EXPECT_EQ(pixels, c.chosenPixels) << c.options;
      EXPECT_EQ(warning, "") << c.options;
      continue;
    }
    // The largest size that fits: one pixel more would run over the edge.
    EXPECT_LT(pixels, c.chosenPixels) << c.options;
    const double width = boxes[0].xMax - kLeft;
    EXPECT_GT(width * (pixels + 1) / pixels, kRight - kLeft) << c.options;
    char expected[160];
    std::snprintf(expected, sizeof expected,
                  "kavex-cli: warning: %d characters per line do not fit the page at %d points: "
                  "printed at %.1f points.\n",
                  c.chars, c.chosenPixels == 92 ? 11 : 6, pixels * 0.12);
    EXPECT_EQ(warning, expected) << c.options;
  }
}

TEST_F(PrintCli, RefusedOptionsAndFiles) {
  const std::string in = Listing({"x"});
  const std::string out = " -o " + (dir / "out.pdf").string();
  struct Case {
    std::string args;
    int status;
    std::string message;
  };
  for (const Case& c : std::vector<Case>{
           {in + out + " --chars 256", 1, "Invalid value entered in Characters per line.\n"},
           {in + out + " --chars 0", 1, "Invalid value entered in Characters per line.\n"},
           {in + out + " --interval 2.1", 1, "Invalid value entered in Line intervals.\n"},
           {in + out + " --interval 0.9", 1, "Invalid value entered in Line intervals.\n"},
           {(dir / "missing.txt").string() + out, 1, "Fail to open file.\n"},
           {in + " -o " + (dir / "no" / "such" / "out.pdf").string(), 1, "Printing Aborted.\n"},
       }) {
    EXPECT_EQ(Run(c.args), c.status) << c.args;
    EXPECT_EQ(Read(dir / "stderr"), c.message) << c.args;
    EXPECT_FALSE(fs::exists(dir / "out.pdf")) << c.args;
  }
  EXPECT_EQ(Run(in), 2);
  EXPECT_EQ(Run(out), 2);
}

}  // namespace
