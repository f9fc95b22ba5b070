#include "kavex/exports/plan_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kavex {
namespace {

SurveyPoint Pt(const std::string& name, double northing, double easting) {
  SurveyPoint p;
  p.name = name;
  p.northing = northing;
  p.easting = easting;
  return p;
}

PlanModel Model(std::vector<SurveyPoint> points) {
  PlanModel m;
  m.SetPoints(std::move(points));
  return m;
}

// A (100, 200), B 10 m north of A, C 30 m east of A; fitted to 320 x 200 with a margin of
// 10: 300 / 30 and 180 / 10 give 10 units a metre, centred on N 105, E 215.
PlanModel Triangle() {
  return Model({Pt("A", 100, 200), Pt("B", 110, 200), Pt("C", 100, 230)});
}

TEST(PlanDrawing, PositionsUnderTheFittedScaleNorthUp) {
  const PlanModel m = Triangle();
  const PlanView v = FitView(m.Extent(), 320, 200, 10);
  EXPECT_DOUBLE_EQ(v.scale, 10.0);
  EXPECT_DOUBLE_EQ(v.centreNorthing, 105.0);
  EXPECT_DOUBLE_EQ(v.centreEasting, 215.0);
  const PlanDrawing d = DrawPlan(m, v, ScreenStyle());
  ASSERT_EQ(d.marks.size(), 3u);
  struct Row {
    double x, y;
  };
  const Row expected[] = {{10, 150}, {10, 50}, {310, 150}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(d.marks[i].point, i);
    EXPECT_DOUBLE_EQ(d.marks[i].at.x, expected[i].x) << i;
    EXPECT_DOUBLE_EQ(d.marks[i].at.y, expected[i].y) << i;
  }
  EXPECT_EQ(d.visible, 3u);
  // 320 / 4 / 10 = 8 m: the bar is 5 m, 50 units, at the bottom left.
  EXPECT_DOUBLE_EQ(d.scaleBar.ground, 5.0);
  EXPECT_DOUBLE_EQ(d.scaleBar.length, 50.0);
  EXPECT_EQ(d.scaleBar.text, "5 m");
  EXPECT_DOUBLE_EQ(d.scaleBar.at.y, 200 - ScreenStyle().margin);
  EXPECT_LT(d.north.tip.y, 100.0);
  EXPECT_GT(d.north.tip.x, 160.0);
}

TEST(PlanDrawing, ZoomKeepsThePointUnderTheCursorAndPanMoves) {
  const PlanModel m = Triangle();
  const PlanView v = FitView(m.Extent(), 320, 200, 10);
  const PlanView z = Zoomed(v, 2.0, {10, 150});
  const PlanPoint a = ToArea(z, 100, 200);
  const PlanPoint b = ToArea(z, 110, 200);
  EXPECT_DOUBLE_EQ(a.x, 10);
  EXPECT_DOUBLE_EQ(a.y, 150);
  EXPECT_DOUBLE_EQ(b.y, -50);  // 10 m at 20 units a metre, still north
  const PlanView p = Panned(v, 30, -20);
  const PlanPoint c = ToArea(p, 100, 230);
  EXPECT_DOUBLE_EQ(c.x, 340);
  EXPECT_DOUBLE_EQ(c.y, 130);
  double n = 0, e = 0;
  FromArea(v, {310, 150}, n, e);
  EXPECT_DOUBLE_EQ(n, 100);
  EXPECT_DOUBLE_EQ(e, 230);
}

TEST(PlanDrawing, FitOfOnePointShowsTheMinimumSpan) {
  const PlanModel m = Model({Pt("A", 5, 5)});
  const PlanView v = FitView(m.Extent(), 220, 120, 10);
  EXPECT_DOUBLE_EQ(v.scale, 100.0 / kMinimumSpan);
  EXPECT_DOUBLE_EQ(v.centreNorthing, 5);
}

TEST(PlanDrawing, LabelsThinOutAsThePlanZoomsOut) {
  // Labels "P1", "P2": 14 units wide, 4 from their point. 1 m apart at 10 units a metre
  // the boxes (4..18 and 14..28) overlap; at 20 (4..18 and 24..38) they do not.
  struct Case {
    double scale;
    bool p2Duplicate;  // a marked point is labelled first
    std::vector<uint32_t> labelled;
  };
  const Case cases[] = {
      {10, false, {0}},
      {20, false, {0, 1}},
      {10, true, {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scale);
    std::vector<SurveyPoint> pts = {Pt("P1", 0, 0), Pt("P2", 0, 1)};
    if (c.p2Duplicate) pts.push_back(Pt("P2", 0, 3));
    const PlanModel m = Model(pts);
    PlanView v;
    v.width = 200;
    v.height = 100;
    v.scale = c.scale;
    v.centreEasting = 4;
    const PlanDrawing d = DrawPlan(m, v, ScreenStyle());
    std::vector<uint32_t> labelled;
    for (const PlanLabel& l : d.labels) labelled.push_back(l.point);
    std::sort(labelled.begin(), labelled.end());
    EXPECT_EQ(labelled, c.labelled);
  }
}

TEST(PlanDrawing, MarksThinToOnePerPixelButKeepMarkedPoints) {
  const PlanModel m = Model({Pt("A", 0, 0), Pt("B", 0, 0.01), Pt("C", 0, 0.02), Pt("A", 0, 0.03)});
  PlanView v;
  v.width = v.height = 100;
  v.scale = 10;  // all four within one pixel
  const PlanDrawing d = DrawPlan(m, v, ScreenStyle());
  ASSERT_EQ(d.marks.size(), 3u);
  EXPECT_EQ(d.marks[0].point, 1u);  // B first takes the pixel; the two A are marked
  EXPECT_EQ(d.marks[1].flags, kPlanSameName);
  EXPECT_EQ(d.marks[2].flags, kPlanSameName);
  EXPECT_EQ(d.visible, 4u);
  PlanStyle all = ScreenStyle();
  all.thinMarks = false;
  EXPECT_EQ(DrawPlan(m, v, all).marks.size(), 4u);
}

TEST(PlanDrawing, SameNameAndFarMarksAndTheHeader) {
  // Medians N 10, E 10; distances 14.1, 10, 10, 0, 7.1 and 14128: their median 10, so
  // the limit is max(10 x 10, 50) = 100 and only F is far.
  const PlanModel m = Model({Pt("A", 0, 0), Pt("B", 0, 10), Pt("C", 10, 0), Pt("D", 10, 10),
                             Pt("A", 5, 5), Pt("F", 10000, 10000)});
  const std::vector<uint8_t> flags = {kPlanSameName, 0, 0, 0, kPlanSameName, kPlanFar};
  EXPECT_EQ(m.Flags(), flags);
  EXPECT_EQ(m.SameNameCount(), 2u);
  EXPECT_EQ(m.FarCount(), 1u);
  EXPECT_EQ(PlanHeaderText(m.Points().size(), m.SameNameCount(), m.FarCount()),
            "6 points, 2 with the same name, 1 far from the others");
  EXPECT_DOUBLE_EQ(m.MainExtent().maxNorthing, 10);
  EXPECT_DOUBLE_EQ(m.Extent().maxNorthing, 10000);

  // Four points are too few to call one far.
  EXPECT_EQ(Model({Pt("A", 0, 0), Pt("B", 0, 1), Pt("C", 1, 0), Pt("D", 9999, 9999)}).FarCount(),
            0u);
  // Nameless points never share a name.
  EXPECT_EQ(Model({Pt("", 0, 0), Pt("", 1, 1)}).SameNameCount(), 0u);
}

TEST(PlanDrawing, HeaderAndLengthTexts) {
  EXPECT_EQ(PlanHeaderText(0, 0, 0), "No points");
  EXPECT_EQ(PlanHeaderText(1, 0, 0), "1 point");
  EXPECT_EQ(PlanHeaderText(412, 0, 1), "412 points, 1 far from the others");
  struct Case {
    double limit, round;
    const char* text;
  };
  const Case cases[] = {
      {8, 5, "5 m"},        {100, 100, "100 m"}, {0.3, 0.2, "0.2 m"},
      {2500, 2000, "2 km"}, {19.99, 10, "10 m"},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(RoundLength(c.limit), c.round) << c.limit;
    EXPECT_EQ(LengthText(c.round), c.text);
  }
  EXPECT_EQ(RoundLength(0), 0);
}

TEST(PlanDrawing, PointAtFindsTheNearestMarkWithinTheRadius) {
  const PlanModel m = Triangle();
  const PlanView v = FitView(m.Extent(), 320, 200, 10);
  EXPECT_EQ(PointAt(m, v, {12, 52}, 5), std::optional<size_t>(1));
  EXPECT_EQ(PointAt(m, v, {100, 100}, 5), std::nullopt);
}

TEST(PlanDrawing, PaperSheetTurnsAndPicksARoundScale) {
  // Area on A4: landscape 277 x 168 mm, portrait 190 x 255 mm.
  struct Case {
    double spanE, spanN;
    int scale;  // asked for, 0 to choose
    double width;
    int denominator;
    bool fits;
  };
  const Case cases[] = {
      // 300 x 100 m: landscape needs 1:1083, portrait 1:1579; 1:2000 landscape.
      {300, 100, 0, 297, 2000, true},
      // 100 x 300 m: landscape 1:1786, portrait 1:1177; 1:2000 portrait.
      {100, 300, 0, 210, 2000, true},
      {300, 100, 500, 297, 500, false},
      {20, 10, 0, 297, 100, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spanE);
    const PlanModel m = Model({Pt("A", 0, 0), Pt("B", c.spanN, c.spanE)});
    const PlanSheet s = PaperSheet(m, PlanPaper::kA4, c.scale, "job.qr6", "2026-12-09");
    EXPECT_DOUBLE_EQ(s.width, c.width);
    EXPECT_EQ(s.scaleDenominator, c.denominator);
    EXPECT_DOUBLE_EQ(s.view.scale, 1000.0 / c.denominator);
    EXPECT_EQ(s.fits, c.fits);
    ASSERT_EQ(s.notes.size(), 3u);
    EXPECT_EQ(s.notes[0], "job.qr6");
    EXPECT_EQ(s.notes[1], "1:" + std::to_string(c.denominator) + "    2026-12-09");
    EXPECT_EQ(s.notes[2], "2 points");
  }
}

}  // namespace
}  // namespace kavex
