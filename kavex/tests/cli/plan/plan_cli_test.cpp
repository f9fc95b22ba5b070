#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <utility>

#include "kavex/tests/cli/cli_fixture.h"

namespace kavex {
namespace {

// Runs in the test's folder, so that file names stand as a user types them.
class PlanCli : public testing::CliFixture {
 public:
  int Run(const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && " + SURVEY_BIN_DIR + "/kavex-cli " +
                                args + " >stdout 2>stderr";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

// Each point's circle as the SVG gives it, by name.
std::map<std::string, std::pair<double, double>> Circles(const std::string& svg) {
  std::map<std::string, std::pair<double, double>> circles;
  const std::regex circle(
      R"re(<circle cx="([-0-9.]+)" cy="([-0-9.]+)"[^>]*><title>([^<]*)</title>)re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), circle); it != std::sregex_iterator();
       ++it)
    circles[(*it)[3]] = {std::stod((*it)[1]), std::stod((*it)[2])};
  return circles;
}

TEST_F(PlanCli, SvgHoldsThePointsWhereTheScalePutsThem) {
  // Points file: name, Y (easting), X (northing), Z. Centre E 215, N 105; at 1:1000 one
  // metre is one millimetre; the A4 landscape area is 277 x 168 mm from (10, 10), so the
  // centre lands at (148.5, 94).
  Write("job.pts", "A,200,100,0\r\nB,200,110,0\r\nC,230,100,0\r\n");
  ASSERT_EQ(Run("plan job.pts -o plan.svg --scale 1:1000"), 0) << Read("stderr");
  const std::string svg = Read("plan.svg");
  EXPECT_NE(svg.find(R"(width="297mm" height="210mm")"), std::string::npos);
  const auto circles = Circles(svg);
  ASSERT_EQ(circles.size(), 3u);
  const std::map<std::string, std::pair<double, double>> expected = {
      {"A", {133.5, 99}}, {"B", {133.5, 89}}, {"C", {163.5, 99}}};
  EXPECT_EQ(circles, expected);
  EXPECT_NE(svg.find(">1:1000    "), std::string::npos);
  EXPECT_NE(svg.find(">3 points</text>"), std::string::npos);
  EXPECT_EQ(Read("stdout"), "3 points, 1:1000 on A4\n");
}

TEST_F(PlanCli, ChosenScaleTurnedSheetAndMarks) {
  // 100 m east, 300 m north: landscape (A3 area 400 x 255 mm) needs 1:1176, portrait
  // (277 x 378 mm) 1:794, so portrait at 1:1000.
  Write(
      "tall.qr7",
      "JOB     J1\r\nS1,0.0000,0.0000,1.0000\r\nS2,100.0000,300.0000,1.0000\r\n"
      "S2,50.0000,150.0000,1.0000\r\nS3,30.0000,100.0000,0.0000\r\nS4,70.0000,200.0000,0.0000\r\n");
  ASSERT_EQ(Run("plan tall.qr7 -o tall.svg --paper A3"), 0) << Read("stderr");
  const std::string svg = Read("tall.svg");
  EXPECT_NE(svg.find(R"(width="297mm" height="420mm")"), std::string::npos);
  EXPECT_EQ(Circles(svg).size(), 4u);  // two circles share the title S2
  EXPECT_EQ(Read("stdout"), "5 points, 2 with the same name, 1:1000 on A3\n");
}

TEST_F(PlanCli, PngAndPdfAreWrittenOverAnOldFile) {
  Write("job.pts", "A,200,100,0\r\nB,200,110,0\r\n");
  Write("plan.png", "old");
  ASSERT_EQ(Run("plan job.pts -o plan.png"), 0) << Read("stderr");
  EXPECT_EQ(Read("plan.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
  ASSERT_EQ(Run("plan job.pts -o PLAN.PDF --paper a3"), 0) << Read("stderr");
  EXPECT_EQ(Read("PLAN.PDF").substr(0, 5), "%PDF-");
}

TEST_F(PlanCli, FailuresTable) {
  Write("job.pts", "A,200,100,0\r\n");
  Write("codes.cod", "TREE\r\n7,WALL\r\n");
  struct Case {
    const char* args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"plan job.pts", 2, "missing -o"},
      {"plan -o x.svg", 2, "missing FILE"},
      {"plan job.pts -o x.dxf", 2, ".svg, .png or .pdf"},
      {"plan job.pts -o x.svg --paper A5", 2, "A4 or A3"},
      {"plan job.pts -o x.svg --scale 0", 2, "whole number"},
      {"plan job.pts -o x.svg --scale 1:1e3", 2, "whole number"},
      {"plan nothing.pts -o x.svg", 1, "Fail to open file."},
      {"plan codes.cod -o x.svg", 1, "The data holds no points to draw."},
      {"plan job.pts -o nofolder/x.svg", 1, "nofolder/x.svg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    EXPECT_EQ(Run(c.args), c.status);
    EXPECT_NE(Read("stderr").find(c.message), std::string::npos) << Read("stderr");
    EXPECT_FALSE(std::filesystem::exists(dir / "x.svg"));
  }
}

}  // namespace
}  // namespace kavex
