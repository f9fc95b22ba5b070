// The plan's reading of the current data (QRX-6 coordinate blocks, NWF and points-file
// lines) and the drawing made from whatever points it finds.
#include <cmath>
#include <cstdlib>

#include "fuzz_support.h"
#include "kavex/exports/plan_drawing.h"
#include "kavex/formats/qrx6_to_nwf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::Bytes(data, size);
  kavex::SurveyPointReader reader;
  kavex::ForEachTextLine(text, [&](std::string_view line, bool) { reader.AddLine(line); });
  for (const kavex::SurveyPoint& p : reader.Points())
    if (p.sourceLine >= reader.LineCount() || !std::isfinite(p.northing) ||
        !std::isfinite(p.easting))
      std::abort();
  kavex::PlanModel model;
  model.SetPoints(reader.Points());
  const kavex::PlanView view = kavex::FitView(model.MainExtent(), 400, 300, 12);
  const kavex::PlanDrawing drawing = kavex::DrawPlan(model, view, kavex::ScreenStyle());
  for (const kavex::PlanMark& m : drawing.marks)
    if (m.point >= model.Points().size()) std::abort();
  for (const kavex::PlanLabel& l : drawing.labels)
    if (l.point >= model.Points().size()) std::abort();
  const kavex::PlanSheet sheet =
      kavex::PaperSheet(model, kavex::PlanPaper::kA4, 0, "fuzz.qr6", "2026-12-09");
  if (kavex::PlanSvg(model, sheet, kavex::PaperStyle()).find("</svg>") == std::string::npos)
    std::abort();
  return 0;
}
