#include "ulvo/convert/plan_points.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "ulvo/convert/plan_drawing.h"
#include "ulvo/engine/data_document.h"

namespace ulvo {
namespace {

DocumentPoints PointsOf(const std::string& items, const PlanElements& elements = {}) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(("<data>" + items + "</data>").c_str()));
  return ReadDocumentPoints(doc.child("data"), elements);
}

TEST(PlanPoints, RecordsOfTheDocumentTable) {
  struct Case {
    const char* items;
    size_t points;
    size_t unreadable;
  };
  const Case cases[] = {
      {"<PT><NR>P1</NR><N>100.5</N><E>200.25</E><Z>10</Z><D>PEG</D></PT>", 1, 0},
      // Values may stand in a group below the record.
      {"<ST><POS><N>1</N><E>2</E></POS><NR>S1</NR></ST>", 1, 0},
      // No easting, or no numbers: no point.
      {"<PT><NR>P1</NR><N>1</N></PT>", 0, 0},
      {"<PT><N>1,5</N><E>2</E></PT>", 0, 1},
      {"<PT><N> 7 </N><E>-2.</E></PT>", 1, 0},
      {"<PT><N>1e3</N><E>2</E></PT>", 0, 1},
      {"<PT><N></N><E>2</E></PT>", 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.items);
    const DocumentPoints d = PointsOf(c.items);
    EXPECT_EQ(d.points.size(), c.points);
    EXPECT_EQ(d.unreadable, c.unreadable);
  }
  const DocumentPoints d = PointsOf(
      "<JOB><NR>J</NR></JOB><PT><NR>P1</NR><N>100.5</N><E>200.25</E><D>PEG</D></PT>"
      "<PT><NR>P\xc3\xa9</NR><N>1</N><E>2</E><Z>3</Z></PT>");
  ASSERT_EQ(d.points.size(), 2u);
  EXPECT_EQ(d.records, 3u);
  EXPECT_EQ(d.points[0].name, "P1");
  EXPECT_EQ(d.points[0].code, "PEG");
  EXPECT_DOUBLE_EQ(d.points[0].northing, 100.5);
  EXPECT_DOUBLE_EQ(d.points[0].easting, 200.25);
  EXPECT_FALSE(d.points[0].height);
  EXPECT_EQ(d.points[0].sourceLine, 1u);
  EXPECT_EQ(d.points[1].name, "P\xe9");  // the document's text as the data's bytes
  EXPECT_EQ(d.points[1].height, std::optional<double>(3));
}

TEST(PlanPoints, ChosenElementsAreUsedAndRememberedPerFormat) {
  PlanElements swapped;
  swapped.northing = "Y";
  swapped.easting = "X";
  swapped.name = "ID";
  const DocumentPoints d = PointsOf("<P><ID>A</ID><X>5</X><Y>7</Y><N>1</N><E>1</E></P>", swapped);
  ASSERT_EQ(d.points.size(), 1u);
  EXPECT_EQ(d.points[0].name, "A");
  EXPECT_DOUBLE_EQ(d.points[0].northing, 7);
  EXPECT_DOUBLE_EQ(d.points[0].easting, 5);

  pugi::xml_document settings;
  settings.load_string("<settings><conversion><xmleditor name=\"\"/></conversion></settings>");
  const pugi::xml_node root = settings.child("settings");
  EXPECT_EQ(ReadPlanElements(root, "Grid"), PlanElements{});
  WritePlanElements(root, "Grid", swapped);
  WritePlanElements(root, "Other", PlanElements{});
  swapped.code = "C";
  WritePlanElements(root, "Grid", swapped);  // changed again: the same node
  EXPECT_EQ(ReadPlanElements(root, "Grid"), swapped);
  EXPECT_EQ(ReadPlanElements(root, "Other"), PlanElements{});
  EXPECT_EQ(root.child("conversion").child("plan").select_nodes("format").size(), 2u);
  EXPECT_STREQ(root.child("conversion")
                   .child("plan")
                   .find_child_by_attribute("format", "name", "Grid")
                   .attribute("northing")
                   .value(),
               "Y");
}

TEST(PlanPoints, TheTwinPlanCoreDrawsInTheCLocale) {
  // The same worked set as Kavex's: 10 units a metre, A at (10, 150), B 10 m north.
  std::vector<SurveyPoint> points(3);
  points[0] = {"A", "", 100, 200, std::nullopt, 0};
  points[1] = {"B", "", 110, 200, std::nullopt, 1};
  points[2] = {"C", "", 100, 230, std::nullopt, 2};
  PlanModel m;
  m.SetPoints(points);
  const PlanView v = FitView(m.Extent(), 320, 200, 10);
  const PlanDrawing d = DrawPlan(m, v, ScreenStyle());
  ASSERT_EQ(d.marks.size(), 3u);
  EXPECT_DOUBLE_EQ(d.marks[1].at.x, 10);
  EXPECT_DOUBLE_EQ(d.marks[1].at.y, 50);
  const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  const std::string svg = PlanSvg(m, PaperSheet(m, PlanPaper::kA4, 1000, "f", "d"), PaperStyle());
  if (previous) std::setlocale(LC_NUMERIC, "C");
  EXPECT_NE(svg.find("cx=\"133.500\""), std::string::npos) << svg.substr(0, 400);
}

}  // namespace
}  // namespace ulvo
