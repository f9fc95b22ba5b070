// Twin of kavex/platform/plan_painter.cpp; see its header.
#include "ulvo/platform/plan_painter.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <cmath>

namespace ulvo {
namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kScreenDotsPerInch = 96.0;
constexpr int kPdfResolution = 600;

QColor Rgb(uint32_t rgb) {
  return QColor(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xff),
                static_cast<int>(rgb & 0xff));
}

QFont FontOf(double height) {
  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(height))));
  return font;
}

}  // namespace

void PaintPlanArea(QPainter& p, const PlanModel& model, const PlanDrawing& d,
                   const PlanStyle& style, double unit, QPointF origin,
                   std::optional<size_t> selected) {
  const auto at = [&](PlanPoint a) { return origin + QPointF(a.x * unit, a.y * unit); };
  const std::vector<SurveyPoint>& points = model.Points();
  p.save();
  // Labels on a light ground, so that they read where the plan is dense; every mark stays
  // on top of it, so a label never hides a point.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 200));
  const double textHeight = style.charHeight * 0.8 * unit;
  for (const PlanLabel& l : d.labels) {
    const QPointF a = at(l.at);
    p.drawRect(
        QRectF(a.x() - unit, a.y() - textHeight, l.width * unit + 2 * unit, textHeight * 1.25));
  }
  // Smooth edges cost most with many marks, where they are not seen anyway.
  p.setRenderHint(QPainter::Antialiasing, d.marks.size() < 3'000);
  // Marks as round pen dots, drawn in runs of one colour: far quicker than one ellipse each.
  const double r = style.markRadius * unit;
  std::vector<QPointF> run;
  const auto flush = [&](uint8_t flags) {
    if (run.empty()) return;
    const double width = 2 * (flags ? r * kPlanMarkedGrowth : r);
    p.setPen(QPen(Rgb(PlanMarkColour(flags)), width, Qt::SolidLine, Qt::RoundCap));
    p.drawPoints(run.data(), static_cast<int>(run.size()));
    run.clear();
  };
  uint8_t runFlags = 0;
  for (const PlanMark& m : d.marks) {
    if (m.flags != runFlags) {
      flush(runFlags);
      runFlags = m.flags;
    }
    run.push_back(at(m.at));
  }
  flush(runFlags);
  if (selected) {
    for (const PlanMark& m : d.marks) {
      if (m.point != *selected) continue;
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(Rgb(kPlanSelectedColour), std::max(1.0, unit * style.markRadius / 2)));
      p.drawEllipse(at(m.at), r * 2.5, r * 2.5);
      break;
    }
  }
  p.setPen(Rgb(kPlanLabelColour));
  p.setFont(FontOf(textHeight));
  for (const PlanLabel& l : d.labels)
    p.drawText(at(l.at), QString::fromLatin1(points[l.point].name.data(),
                                             static_cast<qsizetype>(points[l.point].name.size())));

  // Scale bar: a bracket as long as the ground length, its text above.
  const PlanScaleBar& b = d.scaleBar;
  const double tick = style.charHeight / 2 * unit;
  const QPointF left = at(b.at);
  const QFont barFont = FontOf(style.charHeight * unit);
  const double textWidth = QFontMetricsF(barFont).horizontalAdvance(QString::fromStdString(b.text));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 120));  // marks under it still show
  p.drawRect(QRectF(left.x() - 2 * unit, left.y() - tick * 1.5 - style.charHeight * unit,
                    std::max(b.length * unit, textWidth) + 4 * unit,
                    tick * 1.5 + style.charHeight * unit + 2 * unit));
  p.setPen(QPen(Qt::black, std::max(1.0, unit * style.markRadius / 2)));
  p.setBrush(Qt::NoBrush);
  QPainterPath bar;
  bar.moveTo(left - QPointF(0, tick));
  bar.lineTo(left);
  bar.lineTo(left + QPointF(b.length * unit, 0));
  bar.lineTo(left + QPointF(b.length * unit, -tick));
  p.drawPath(bar);
  p.setFont(barFont);
  p.drawText(left - QPointF(0, tick * 1.5), QString::fromStdString(b.text));

  // North arrow: the right half filled, the left outlined, "N" above.
  const PlanNorthArrow& n = d.north;
  const QPointF tip = at(n.tip) + QPointF(0, n.size * 0.3 * unit);
  const double half = n.size / 4 * unit;
  const QPointF bottomRight = tip + QPointF(half, n.size * 0.7 * unit);
  const QPointF bottomLeft = tip + QPointF(-half, n.size * 0.7 * unit);
  const QPointF notch = tip + QPointF(0, n.size * 0.45 * unit);
  QPainterPath right;
  right.moveTo(tip);
  right.lineTo(bottomRight);
  right.lineTo(notch);
  right.closeSubpath();
  QPainterPath whole;
  whole.moveTo(tip);
  whole.lineTo(bottomRight);
  whole.lineTo(notch);
  whole.lineTo(bottomLeft);
  whole.closeSubpath();
  p.setPen(QPen(Qt::black, std::max(1.0, unit * n.size / 40)));
  p.drawPath(whole);
  p.fillPath(right, Qt::black);
  QFont north = FontOf(n.size * 0.3 * unit);
  north.setBold(true);
  p.setFont(north);
  const QRectF letter(at(n.tip) - QPointF(n.size * unit / 2, 0),
                      QSizeF(n.size * unit, n.size * 0.3 * unit));
  p.drawText(letter, Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("N"));
  p.restore();
}

void PaintPlanSheet(QPainter& p, const PlanModel& model, const PlanSheet& sheet,
                    const PlanStyle& style, double unit) {
  p.fillRect(QRectF(0, 0, sheet.width * unit, sheet.height * unit), Qt::white);
  const QRectF area(sheet.areaX * unit, sheet.areaY * unit, sheet.view.width * unit,
                    sheet.view.height * unit);
  p.setPen(QPen(QColor(128, 128, 128), std::max(1.0, unit * style.markRadius / 3)));
  p.drawRect(area);
  p.save();
  p.setClipRect(area);
  PaintPlanArea(p, model, DrawPlan(model, sheet.view, style), style, unit, area.topLeft());
  p.restore();
  p.setPen(Qt::black);
  p.setFont(FontOf(sheet.noteHeight * 0.7 * unit));
  for (size_t i = 0; i < sheet.notes.size(); ++i)
    p.drawText(
        QPointF(sheet.notesX * unit,
                (sheet.notesY + static_cast<double>(i) * sheet.noteHeight) * unit),
        QString::fromLatin1(sheet.notes[i].data(), static_cast<qsizetype>(sheet.notes[i].size())));
}

std::string PlanFileBytes(PlanFileType type, const PlanModel& model, const PlanSheet& sheet,
                          const PlanStyle& style) {
  const bool paper = sheet.scaleDenominator > 0;
  if (type == PlanFileType::kSvg) return PlanSvg(model, sheet, style);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  if (type == PlanFileType::kPng) {
    const double unit = paper ? kPlanPngDotsPerInch / kMillimetresPerInch : 1.0;
    QImage image(static_cast<int>(std::ceil(sheet.width * unit)),
                 static_cast<int>(std::ceil(sheet.height * unit)), QImage::Format_RGB32);
    if (image.isNull()) return {};
    if (paper) {
      const int dpm =
          static_cast<int>(std::lround(kPlanPngDotsPerInch / kMillimetresPerInch * 1000));
      image.setDotsPerMeterX(dpm);
      image.setDotsPerMeterY(dpm);
    }
    {
      QPainter painter(&image);
      PaintPlanSheet(painter, model, sheet, style, unit);
    }
    if (!image.save(&buffer, "PNG")) return {};
  } else {
    // Pixels of a window's view go on the page at the screen's usual 96 dots per inch.
    const double mmPerUnit = paper ? 1.0 : kMillimetresPerInch / kScreenDotsPerInch;
    {
      QPdfWriter writer(&buffer);
      writer.setCreator(QStringLiteral("ULVO"));
      writer.setResolution(kPdfResolution);
      // The page size is given upright and turned, so that A4 stays A4.
      const double w = sheet.width * mmPerUnit, h = sheet.height * mmPerUnit;
      writer.setPageLayout(
          QPageLayout(QPageSize(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Millimeter),
                      w > h ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                      QPageLayout::Millimeter));
      QPainter painter;
      if (!painter.begin(&writer)) return {};
      PaintPlanSheet(painter, model, sheet, style,
                     kPdfResolution / kMillimetresPerInch * mmPerUnit);
      painter.end();
    }
  }
  return buffer.data().toStdString();
}

}  // namespace ulvo
