// Twin of ulvo/convert/plan_drawing.cpp; see its header.
#include "kavex/exports/plan_drawing.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "kavex/formats/text_format.h"

namespace kavex {
namespace {

void Grow(PlanExtent& e, const SurveyPoint& p) {
  if (e.empty) {
    e = {false, p.northing, p.northing, p.easting, p.easting};
    return;
  }
  e.minNorthing = std::min(e.minNorthing, p.northing);
  e.maxNorthing = std::max(e.maxNorthing, p.northing);
  e.minEasting = std::min(e.minEasting, p.easting);
  e.maxEasting = std::max(e.maxEasting, p.easting);
}

double Median(std::vector<double>& v) {
  const size_t mid = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
  return v[mid];
}

struct Box {
  double left, top, right, bottom;
  bool Overlaps(const Box& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
};

// Placed label boxes, found by the grid cells they cover.
class BoxGrid {
 public:
  BoxGrid(double width, double height, double cell)
      : cell_(cell > 0 ? cell : 1.0),
        columns_(static_cast<size_t>(std::max(1.0, std::ceil(width / cell_)))),
        rows_(static_cast<size_t>(std::max(1.0, std::ceil(height / cell_)))),
        cells_(columns_ * rows_) {}

  // Places b unless it overlaps a placed box.
  bool Place(const Box& b) {
    size_t c0, c1, r0, r1;
    Range(b, c0, c1, r0, r1);
    for (size_t r = r0; r <= r1; ++r)
      for (size_t c = c0; c <= c1; ++c)
        for (uint32_t i : cells_[r * columns_ + c])
          if (boxes_[i].Overlaps(b)) return false;
    const auto index = static_cast<uint32_t>(boxes_.size());
    boxes_.push_back(b);
    for (size_t r = r0; r <= r1; ++r)
      for (size_t c = c0; c <= c1; ++c) cells_[r * columns_ + c].push_back(index);
    return true;
  }

 private:
  size_t Clamp(double v, size_t count) const {
    if (!(v > 0)) return 0;
    return std::min(count - 1, static_cast<size_t>(v / cell_));
  }
  void Range(const Box& b, size_t& c0, size_t& c1, size_t& r0, size_t& r1) const {
    c0 = Clamp(b.left, columns_);
    c1 = Clamp(b.right, columns_);
    r0 = Clamp(b.top, rows_);
    r1 = Clamp(b.bottom, rows_);
  }

  double cell_;
  size_t columns_, rows_;
  std::vector<std::vector<uint32_t>> cells_;
  std::vector<Box> boxes_;
};

constexpr double kMinScale = 1e-12;
constexpr double kMaxScale = 1e9;

// The round scale denominators, 1:100 up.
int RoundDenominator(double needed, bool& fits) {
  fits = true;
  for (double power = 100; power <= 1e8; power *= 10)
    for (double m : {1.0, 2.0, 2.5, 5.0})
      if (m * power >= needed) return static_cast<int>(m * power);
  fits = false;
  return 500'000'000;
}

std::string XmlText(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += '?';  // XML has no place for control characters
        } else if (c < 0x80) {
          out += static_cast<char>(c);
        } else {  // bytes are shown as Latin-1
          out += static_cast<char>(0xC0 | (c >> 6));
          out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
  }
  return out;
}

std::string Colour(uint32_t rgb) {
  return Format("#%06x", static_cast<unsigned>(rgb));
}

}  // namespace

uint32_t PlanMarkColour(uint8_t flags) {
  if (flags & kPlanFar) return 0xd01010;
  if (flags & kPlanSameName) return 0xe07000;
  return 0x103070;
}

void PlanModel::SetPoints(std::vector<SurveyPoint> points) {
  points_ = std::move(points);
  Analyse();
}

void PlanModel::AddPoints(const std::vector<SurveyPoint>& points) {
  if (points.empty()) return;
  points_.insert(points_.end(), points.begin(), points.end());
  Analyse();
}

void PlanModel::Analyse() {
  const size_t n = points_.size();
  flags_.assign(n, 0);
  sameName_ = far_ = 0;
  extent_ = mainExtent_ = PlanExtent{};
  for (const SurveyPoint& p : points_) Grow(extent_, p);

  std::vector<uint32_t> order;
  order.reserve(n);
  for (uint32_t i = 0; i < n; ++i)
    if (!points_[i].name.empty()) order.push_back(i);
  std::sort(order.begin(), order.end(),
            [this](uint32_t a, uint32_t b) { return points_[a].name < points_[b].name; });
  for (size_t i = 0; i < order.size();) {
    size_t j = i + 1;
    while (j < order.size() && points_[order[j]].name == points_[order[i]].name) ++j;
    if (j - i > 1)
      for (size_t k = i; k < j; ++k) flags_[order[k]] |= kPlanSameName;
    i = j;
  }

  if (n >= kFarMinPoints) {
    std::vector<double> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = points_[i].northing;
    const double mn = Median(v);
    for (size_t i = 0; i < n; ++i) v[i] = points_[i].easting;
    const double me = Median(v);
    std::vector<double> d(n);
    for (size_t i = 0; i < n; ++i)
      d[i] = std::hypot(points_[i].northing - mn, points_[i].easting - me);
    v = d;
    const double limit = std::max(kFarFactor * Median(v), kFarMinimum);
    for (size_t i = 0; i < n; ++i)
      if (d[i] > limit) flags_[i] |= kPlanFar;
  }
  for (size_t i = 0; i < n; ++i) {
    if (flags_[i] & kPlanSameName) ++sameName_;
    if (flags_[i] & kPlanFar) {
      ++far_;
    } else {
      Grow(mainExtent_, points_[i]);
    }
  }
}

std::string PlanHeaderText(size_t points, size_t sameName, size_t far) {
  std::string text = points == 0   ? std::string("No points")
                     : points == 1 ? std::string("1 point")
                                   : Format("%zu points", points);
  if (sameName) text += Format(", %zu with the same name", sameName);
  if (far) text += Format(", %zu far from the others", far);
  return text;
}

PlanPoint ToArea(const PlanView& v, double northing, double easting) {
  return {(easting - v.centreEasting) * v.scale + v.width / 2,
          v.height / 2 - (northing - v.centreNorthing) * v.scale};
}

void FromArea(const PlanView& v, PlanPoint at, double& northing, double& easting) {
  easting = v.centreEasting + (at.x - v.width / 2) / v.scale;
  northing = v.centreNorthing - (at.y - v.height / 2) / v.scale;
}

PlanView FitView(const PlanExtent& e, double width, double height, double margin) {
  PlanView v;
  v.width = width;
  v.height = height;
  if (e.empty) return v;
  v.centreNorthing = (e.minNorthing + e.maxNorthing) / 2;
  v.centreEasting = (e.minEasting + e.maxEasting) / 2;
  const double w = width > 2 * margin ? width - 2 * margin : width;
  const double h = height > 2 * margin ? height - 2 * margin : height;
  const double spanE = e.maxEasting - e.minEasting;
  const double spanN = e.maxNorthing - e.minNorthing;
  double scale = std::numeric_limits<double>::infinity();
  if (spanE > 0) scale = std::min(scale, w / spanE);
  if (spanN > 0) scale = std::min(scale, h / spanN);
  // A tiny survey still shows kMinimumSpan across.
  scale = std::min(scale, std::min(w, h) / kMinimumSpan);
  v.scale = std::clamp(scale, kMinScale, kMaxScale);
  return v;
}

PlanView Zoomed(const PlanView& view, double factor, PlanPoint at) {
  double n = 0, e = 0;
  FromArea(view, at, n, e);
  PlanView v = view;
  v.scale = std::clamp(view.scale * factor, kMinScale, kMaxScale);
  v.centreEasting = e - (at.x - v.width / 2) / v.scale;
  v.centreNorthing = n + (at.y - v.height / 2) / v.scale;
  return v;
}

PlanView Panned(const PlanView& view, double dx, double dy) {
  PlanView v = view;
  v.centreEasting -= dx / v.scale;
  v.centreNorthing += dy / v.scale;
  return v;
}

double RoundLength(double limit) {
  if (!(limit > 0) || !std::isfinite(limit)) return 0;
  const double power = std::pow(10.0, std::floor(std::log10(limit)));
  for (double m : {5.0, 2.0, 1.0})
    if (m * power <= limit * (1 + 1e-9)) return m * power;
  return power / 2;  // log10 rounded up: limit is just under the power
}

std::string LengthText(double ground) {
  if (ground >= 1000) return Format("%g km", ground / 1000);
  return Format("%g m", ground);
}

PlanDrawing DrawPlan(const PlanModel& model, const PlanView& view, const PlanStyle& style) {
  PlanDrawing d;
  const std::vector<SurveyPoint>& points = model.Points();
  const std::vector<uint8_t>& flags = model.Flags();
  const double r = style.markRadius;
  // Marks closer than this look alike: one stands for all.
  const double cell = std::max(1.0, style.markRadius * 0.8);
  const auto columns = static_cast<size_t>(std::max(0.0, std::ceil(view.width / cell)));
  const auto rows = static_cast<size_t>(std::max(0.0, std::ceil(view.height / cell)));
  std::vector<bool> taken(style.thinMarks ? columns * rows : 0);
  std::vector<PlanMark> marked;
  std::vector<uint32_t> visible;
  for (uint32_t i = 0; i < points.size(); ++i) {
    const PlanPoint p = ToArea(view, points[i].northing, points[i].easting);
    if (!(p.x >= -r && p.x <= view.width + r && p.y >= -r && p.y <= view.height + r)) continue;
    if (p.x >= 0 && p.x <= view.width && p.y >= 0 && p.y <= view.height) ++d.visible;
    visible.push_back(i);
    if (flags[i]) {
      marked.push_back({p, i, flags[i]});
      continue;
    }
    if (style.thinMarks && columns && rows) {
      const size_t c = std::min(columns - 1, static_cast<size_t>(std::max(0.0, p.x / cell)));
      const size_t row = std::min(rows - 1, static_cast<size_t>(std::max(0.0, p.y / cell)));
      if (taken[row * columns + c]) continue;
      taken[row * columns + c] = true;
    }
    d.marks.push_back({p, i, 0});
  }
  d.marks.insert(d.marks.end(), marked.begin(), marked.end());

  BoxGrid grid(view.width, view.height, std::max(style.charHeight, 4 * style.charWidth));
  const auto label = [&](uint32_t i) {
    const SurveyPoint& p = points[i];
    if (p.name.empty()) return;
    const PlanPoint at = ToArea(view, p.northing, p.easting);
    const double width = static_cast<double>(p.name.size()) * style.charWidth;
    const Box b{at.x + style.labelGap, at.y - style.labelGap - style.charHeight,
                at.x + style.labelGap + width, at.y - style.labelGap};
    if (b.right <= 0 || b.left >= view.width || b.bottom <= 0 || b.top >= view.height) return;
    if (grid.Place(b)) d.labels.push_back({{b.left, b.bottom}, i, width});
  };
  for (uint32_t i : visible)
    if (flags[i]) label(i);
  for (uint32_t i : visible)
    if (!flags[i]) label(i);

  const double ground = RoundLength(view.width / 4 / view.scale);
  d.scaleBar = {
      {style.margin, view.height - style.margin}, ground * view.scale, ground, LengthText(ground)};
  d.north = {{view.width - style.margin - style.northSize / 2, style.margin}, style.northSize};
  return d;
}

std::optional<size_t> PointAt(const PlanModel& model, const PlanView& view, PlanPoint at,
                              double radius) {
  std::optional<size_t> best;
  double bestDistance = radius * radius;
  const std::vector<SurveyPoint>& points = model.Points();
  for (size_t i = 0; i < points.size(); ++i) {
    const PlanPoint p = ToArea(view, points[i].northing, points[i].easting);
    const double dd = (p.x - at.x) * (p.x - at.x) + (p.y - at.y) * (p.y - at.y);
    if (dd <= bestDistance) {
      bestDistance = dd;
      best = i;
    }
  }
  return best;
}

PlanStyle PaperStyle() {
  PlanStyle s;
  s.charHeight = 2.5;
  s.charWidth = 1.5;
  s.labelGap = 0.8;
  s.markRadius = 0.5;
  s.margin = 5.0;
  s.northSize = 12.0;
  s.thinMarks = false;
  return s;
}

PlanStyle ScreenStyle() {
  return PlanStyle{};
}

PlanSheet PaperSheet(const PlanModel& model, PlanPaper paper, int scaleDenominator,
                     const std::string& title, const std::string& date) {
  const double shortSide = paper == PlanPaper::kA4 ? 210.0 : 297.0;
  const double longSide = paper == PlanPaper::kA4 ? 297.0 : 420.0;
  const PlanExtent& e = model.MainExtent();
  const double spanE = e.empty ? 0.0 : e.maxEasting - e.minEasting;
  const double spanN = e.empty ? 0.0 : e.maxNorthing - e.minNorthing;
  // The denominator at which the extent just fills the area, landscape then portrait.
  double needed[2];
  for (int portrait = 0; portrait < 2; ++portrait) {
    const double w = (portrait ? shortSide : longSide) - 2 * kPaperMargin;
    const double h = (portrait ? longSide : shortSide) - 2 * kPaperMargin - kTitleHeight;
    needed[portrait] = std::max(spanE * 1000 / w, spanN * 1000 / h);
  }
  const bool portrait = needed[1] < needed[0];
  PlanSheet s;
  s.width = portrait ? shortSide : longSide;
  s.height = portrait ? longSide : shortSide;
  s.areaX = s.areaY = kPaperMargin;
  bool fits = true;
  s.scaleDenominator =
      scaleDenominator > 0 ? scaleDenominator : RoundDenominator(needed[portrait], fits);
  s.view.width = s.width - 2 * kPaperMargin;
  s.view.height = s.height - 2 * kPaperMargin - kTitleHeight;
  s.view.scale = 1000.0 / s.scaleDenominator;
  if (!e.empty) {
    s.view.centreNorthing = (e.minNorthing + e.maxNorthing) / 2;
    s.view.centreEasting = (e.minEasting + e.maxEasting) / 2;
  }
  for (const SurveyPoint& p : model.Points()) {
    const PlanPoint a = ToArea(s.view, p.northing, p.easting);
    if (!(a.x >= 0 && a.y >= 0 && a.x <= s.view.width && a.y <= s.view.height)) ++s.off;
  }
  s.fits = fits && s.off == 0;
  s.notes = {title, Format("1:%d", s.scaleDenominator) + "    " + date,
             PlanHeaderText(model.Points().size(), model.SameNameCount(), model.FarCount())};
  s.notesX = kPaperMargin + 2;
  s.noteHeight = 5.5;
  s.notesY = kPaperMargin + s.view.height + 6.5;
  return s;
}

PlanSheet ScreenSheet(const PlanModel& model, const PlanView& view, const std::string& title,
                      const std::string& date) {
  PlanSheet s;
  s.view = view;
  s.noteHeight = 16;
  s.width = view.width;
  s.height = view.height + 3 * s.noteHeight + 8;
  s.notes = {title, date,
             PlanHeaderText(model.Points().size(), model.SameNameCount(), model.FarCount())};
  s.notesX = 6;
  s.notesY = view.height + s.noteHeight;
  return s;
}

const std::vector<PlanFileFormat>& PlanFileFormats() {
  static const std::vector<PlanFileFormat> formats = {
      {PlanFileType::kPdf, ".pdf", "PDF document (*.pdf)"},
      {PlanFileType::kPng, ".png", "PNG image (*.png)"},
      {PlanFileType::kSvg, ".svg", "SVG drawing (*.svg)"},
  };
  return formats;
}

const PlanFileFormat* PlanFileFormatOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return nullptr;
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const PlanFileFormat& f : PlanFileFormats())
    if (ext == f.extension) return &f;
  return nullptr;
}

std::string PlanSvg(const PlanModel& model, const PlanSheet& sheet, const PlanStyle& style) {
  const PlanDrawing d = DrawPlan(model, sheet.view, style);
  const bool paper = sheet.scaleDenominator > 0;
  const char* unit = paper ? "mm" : "";
  const double x0 = sheet.areaX, y0 = sheet.areaY;
  std::string s;
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += Format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g%s\" height=\"%g%s\" "
      "viewBox=\"0 0 %g %g\" font-family=\"sans-serif\">\n",
      sheet.width, unit, sheet.height, unit, sheet.width, sheet.height);
  s += Format("<rect width=\"%g\" height=\"%g\" fill=\"white\"/>\n", sheet.width, sheet.height);
  s += Format(
      "<clipPath id=\"area\"><rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/></clipPath>\n", x0,
      y0, sheet.view.width, sheet.view.height);
  s += Format(
      "<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"none\" stroke=\"#808080\" "
      "stroke-width=\"%g\"/>\n",
      x0, y0, sheet.view.width, sheet.view.height, style.markRadius / 3);
  s += "<g clip-path=\"url(#area)\">\n";
  const std::vector<SurveyPoint>& points = model.Points();
  for (const PlanMark& m : d.marks) {
    s += Format("<circle cx=\"%.3f\" cy=\"%.3f\" r=\"%g\" fill=\"%s\"><title>", x0 + m.at.x,
                y0 + m.at.y, m.flags ? style.markRadius * kPlanMarkedGrowth : style.markRadius,
                Colour(PlanMarkColour(m.flags)).c_str());
    s += XmlText(points[m.point].name) + "</title></circle>\n";
  }
  s += Format("<g font-size=\"%g\" fill=\"%s\">\n", style.charHeight * 0.8,
              Colour(kPlanLabelColour).c_str());
  for (const PlanLabel& l : d.labels)
    s += Format("<text x=\"%.3f\" y=\"%.3f\">", x0 + l.at.x, y0 + l.at.y) +
         XmlText(points[l.point].name) + "</text>\n";
  s += "</g>\n</g>\n";
  const PlanScaleBar& b = d.scaleBar;
  const double tick = style.charHeight / 2;
  s += Format(
      "<path d=\"M%.3f %.3fv%.3fh%.3fv%.3f\" fill=\"none\" stroke=\"black\" "
      "stroke-width=\"%g\"/>\n",
      x0 + b.at.x, y0 + b.at.y - tick, tick, b.length, -tick, style.markRadius / 2);
  s += Format("<text x=\"%.3f\" y=\"%.3f\" font-size=\"%g\">", x0 + b.at.x,
              y0 + b.at.y - tick * 1.5, style.charHeight) +
       XmlText(b.text) + "</text>\n";
  const PlanNorthArrow& n = d.north;
  const double half = n.size / 4;
  s += Format("<path d=\"M%.3f %.3fl%.3f %.3fl%.3f %.3fz\" fill=\"black\"/>\n", x0 + n.tip.x,
              y0 + n.tip.y + n.size * 0.3, half, n.size * 0.7, -half, -n.size * 0.25);
  s += Format("<text x=\"%.3f\" y=\"%.3f\" font-size=\"%g\" text-anchor=\"middle\">N</text>\n",
              x0 + n.tip.x, y0 + n.tip.y + n.size * 0.25, n.size * 0.3);
  s += Format("<g font-size=\"%g\">\n", sheet.noteHeight * 0.7);
  for (size_t i = 0; i < sheet.notes.size(); ++i)
    s += Format("<text x=\"%.3f\" y=\"%.3f\">", sheet.notesX,
                sheet.notesY + static_cast<double>(i) * sheet.noteHeight) +
         XmlText(sheet.notes[i]) + "</text>\n";
  s += "</g>\n</svg>\n";
  return s;
}

}  // namespace kavex
