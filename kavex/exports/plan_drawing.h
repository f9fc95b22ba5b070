#pragma once

// Twin of ulvo/convert/plan_drawing.h: the programs share no code, so the plan core is kept
// alike in both by hand. A change to one belongs in the other too.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kavex/exports/survey_points.h"

namespace kavex {

// The plan of the survey's points: north up, northing (X) upwards and easting (Y) to the
// right as the DXF export draws them, one scale on both axes. Everything a window or a
// file shows is computed here; painters only draw what PlanDrawing holds.

enum PlanFlag : uint8_t {
  kPlanSameName = 1,  // another point has this name
  kPlanFar = 2,       // far from the rest of the points
};

struct PlanExtent {
  bool empty = true;
  double minNorthing = 0.0, maxNorthing = 0.0, minEasting = 0.0, maxEasting = 0.0;
};

// The points with what the plan marks on them.
class PlanModel {
 public:
  void SetPoints(std::vector<SurveyPoint> points);
  // A download adds points as they arrive; the marks are worked out again.
  void AddPoints(const std::vector<SurveyPoint>& points);

  const std::vector<SurveyPoint>& Points() const { return points_; }
  const std::vector<uint8_t>& Flags() const { return flags_; }
  size_t SameNameCount() const { return sameName_; }
  size_t FarCount() const { return far_; }
  const PlanExtent& Extent() const { return extent_; }
  // The extent of the points not marked far: what Fit shows, so that one stray point does
  // not shrink the survey to a dot.
  const PlanExtent& MainExtent() const { return mainExtent_; }

 private:
  void Analyse();

  std::vector<SurveyPoint> points_;
  std::vector<uint8_t> flags_;
  size_t sameName_ = 0;
  size_t far_ = 0;
  PlanExtent extent_, mainExtent_;
};

// A point is far from the others when its distance from the median point is more than
// kFarFactor times the median of those distances and at least kFarMinimum; fewer than
// kFarMinPoints points are too few to tell.
inline constexpr double kFarFactor = 10.0;
inline constexpr double kFarMinimum = 50.0;
inline constexpr size_t kFarMinPoints = 5;

// "412 points, 2 with the same name, 1 far from the others"; parts that are 0 are left out.
std::string PlanHeaderText(size_t points, size_t sameName, size_t far);

// Where the plan's area looks: the ground point at its centre and the output units (pixels
// or millimetres) per ground unit.
struct PlanView {
  double centreNorthing = 0.0;
  double centreEasting = 0.0;
  double scale = 1.0;
  double width = 0.0, height = 0.0;  // the area, output units
};

struct PlanPoint {
  double x = 0.0, y = 0.0;  // output units from the area's top-left corner, y downwards
};

PlanPoint ToArea(const PlanView& view, double northing, double easting);
void FromArea(const PlanView& view, PlanPoint at, double& northing, double& easting);

// The whole extent inside the area, margin kept free on each side; at least kMinimumSpan
// ground units show across the shorter side, so a single point is not magnified without end.
inline constexpr double kMinimumSpan = 10.0;
PlanView FitView(const PlanExtent& extent, double width, double height, double margin);
// Zoom by factor keeping the ground point under at where it is; pan by output units.
PlanView Zoomed(const PlanView& view, double factor, PlanPoint at);
PlanView Panned(const PlanView& view, double dx, double dy);

// Sizes of what is drawn, in output units.
struct PlanStyle {
  double charWidth = 7.0;    // average width of a label's character
  double charHeight = 12.0;  // a label's line height
  double labelGap = 4.0;     // from the point to its label's corner
  double markRadius = 3.0;
  double margin = 12.0;  // of the scale bar and the north arrow from the edges
  double northSize = 36.0;
  // A window draws one mark for all marks in a square of 0.8 markRadius (at least one unit)
  // across; files keep every mark.
  bool thinMarks = true;
};

// Colours of the marks (0xRRGGBB): far before same name before plain.
uint32_t PlanMarkColour(uint8_t flags);
inline constexpr uint32_t kPlanLabelColour = 0x202020;
inline constexpr uint32_t kPlanSelectedColour = 0x00a0ff;
// Marked points are drawn this much larger.
inline constexpr double kPlanMarkedGrowth = 1.6;

// No point to draw: the command line writes no file.
inline constexpr const char* kNoPlanPointsMessage = "The data holds no points to draw.";
// A plan file that could not be written; the path and the system's reason follow.
inline constexpr const char* kPlanNotSavedMessage = "The plan could not be saved:";

struct PlanMark {
  PlanPoint at;
  uint32_t point = 0;  // index into PlanModel::Points()
  uint8_t flags = 0;
};

struct PlanLabel {
  PlanPoint at;  // left end of the text's baseline
  uint32_t point = 0;
  double width = 0.0;
};

struct PlanScaleBar {
  PlanPoint at;  // left end
  double length = 0.0;
  double ground = 0.0;  // ground units the bar stands for
  std::string text;     // "50 m"
};

struct PlanNorthArrow {
  PlanPoint tip;
  double size = 0.0;
};

struct PlanDrawing {
  std::vector<PlanMark> marks;  // marked points last, so that they are drawn on top
  std::vector<PlanLabel> labels;
  PlanScaleBar scaleBar;
  PlanNorthArrow north;
  size_t visible = 0;  // points inside the area
};

// The drawing of the model in view. Labels never overlap: the marked points get theirs
// first, then the others in their order, each only where its box is still free, so labels
// thin out as the plan zooms out.
PlanDrawing DrawPlan(const PlanModel& model, const PlanView& view, const PlanStyle& style);

// The point whose mark is nearest to at within radius, if any.
std::optional<size_t> PointAt(const PlanModel& model, const PlanView& view, PlanPoint at,
                              double radius);

// A round length for the scale bar (1, 2 or 5 times a power of ten) of at most limit.
double RoundLength(double limit);
std::string LengthText(double ground);  // "50 m", "0.5 m", "2 km"

// --- paper ---

enum class PlanPaper { kA4, kA3 };

// A page of a plan file: the sheet in millimetres, the plan's area on it at a map scale
// and the title block under it.
struct PlanSheet {
  double width = 0.0, height = 0.0;  // output units: millimetres on paper, pixels on screen
  double areaX = 0.0, areaY = 0.0;
  PlanView view;
  int scaleDenominator = 0;                             // 1:N; 0 for a view of the window
  bool fits = true;                                     // every point is inside the area
  size_t off = 0;                                       // points outside it
  std::vector<std::string> notes;                       // the title block's lines
  double notesX = 0.0, notesY = 0.0, noteHeight = 0.0;  // first baseline, line spacing
};

inline constexpr double kPaperMargin = 10.0;  // mm
inline constexpr double kTitleHeight = 22.0;  // mm under the plan

// A4 or A3, turned to suit the extent, at scaleDenominator or else at the largest round
// scale (1, 2, 2.5 or 5 times a power of ten) that fits. title is the file name, date the
// date text.
PlanSheet PaperSheet(const PlanModel& model, PlanPaper paper, int scaleDenominator,
                     const std::string& title, const std::string& date);
// The window's present view as a sheet of its own size.
PlanSheet ScreenSheet(const PlanModel& model, const PlanView& view, const std::string& title,
                      const std::string& date);
PlanStyle PaperStyle();
PlanStyle ScreenStyle();

// The files a plan is saved as, by extension (any case).
enum class PlanFileType { kSvg, kPng, kPdf };
struct PlanFileFormat {
  PlanFileType type;
  const char* extension;  // ".svg"
  const char* filter;     // "SVG drawing (*.svg)"
};
const std::vector<PlanFileFormat>& PlanFileFormats();
const PlanFileFormat* PlanFileFormatOf(const std::string& path);

// The sheet as an SVG document (millimetres on paper, pixels on screen). Each point is a
// circle whose title is its name.
std::string PlanSvg(const PlanModel& model, const PlanSheet& sheet, const PlanStyle& style);

}  // namespace kavex
