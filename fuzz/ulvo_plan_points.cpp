// The plan's reading of an instrument data document (any records, any values) and the
// drawing and sheet made from whatever points it finds.
#include <cmath>
#include <cstdlib>

#include "fuzz_support.h"
#include "ulvo/convert/plan_drawing.h"
#include "ulvo/convert/plan_points.h"
#include "ulvo/engine/data_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pugi::xml_document document;
  if (!ulvo::LoadDataDocumentFromText(document, std::string(fuzz::Bytes(data, size)))) return 0;
  const ulvo::DocumentPoints read =
      ulvo::ReadDocumentPoints(document.child("data"), ulvo::PlanElements{});
  for (const ulvo::SurveyPoint& p : read.points)
    if (p.sourceLine >= read.records || !std::isfinite(p.northing) || !std::isfinite(p.easting))
      std::abort();
  ulvo::PlanModel model;
  model.SetPoints(read.points);
  const ulvo::PlanView view = ulvo::FitView(model.MainExtent(), 400, 300, 12);
  const ulvo::PlanDrawing drawing = ulvo::DrawPlan(model, view, ulvo::ScreenStyle());
  for (const ulvo::PlanMark& m : drawing.marks)
    if (m.point >= model.Points().size()) std::abort();
  const ulvo::PlanSheet sheet =
      ulvo::PaperSheet(model, ulvo::PlanPaper::kA3, 0, "fuzz.xml", "2026-12-09");
  if (ulvo::PlanSvg(model, sheet, ulvo::PaperStyle()).find("</svg>") == std::string::npos)
    std::abort();
  return 0;
}
