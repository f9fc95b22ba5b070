#pragma once

// Twin of ulvo/platform/plan_painter.h: the programs share no code, so the plan painter is
// kept alike in both by hand. A change to one belongs in the other too.

#include <QPointF>
#include <optional>
#include <string>

#include "kavex/exports/plan_drawing.h"

class QPainter;

namespace kavex {

// Paints what the plan core drew; the window's pane and the PNG and PDF files share it.
// unit is device pixels per output unit (pixel or millimetre), origin where the area's
// top-left corner lands on the device.
void PaintPlanArea(QPainter& painter, const PlanModel& model, const PlanDrawing& drawing,
                   const PlanStyle& style, double unit, QPointF origin,
                   std::optional<size_t> selected = std::nullopt);

// A whole sheet: frame, plan, scale bar, north arrow and title block.
void PaintPlanSheet(QPainter& painter, const PlanModel& model, const PlanSheet& sheet,
                    const PlanStyle& style, double unit);

// The bytes of a PNG or PDF file of the sheet (a Qt GUI application must exist); empty when
// Qt could not make them. SVG comes from the core.
inline constexpr double kPlanPngDotsPerInch = 200.0;
std::string PlanFileBytes(PlanFileType type, const PlanModel& model, const PlanSheet& sheet,
                          const PlanStyle& style);

}  // namespace kavex
