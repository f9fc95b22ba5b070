// Twin of the PlanCanvas of kavex/gui/plan_pane.cpp; see ulvo/gui/plan_canvas.h.
#include "ulvo/gui/plan_canvas.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "ulvo/platform/plan_painter.h"

namespace ulvo {
namespace {

constexpr double kZoomStep = 1.25;
constexpr double kPickRadius = 8.0;
constexpr int kDragStart = 4;

}  // namespace

PlanCanvas::PlanCanvas(const PlanModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("PlanCanvas"));
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(200, 200);
  const QFontMetrics fm(font());
  style_ = ScreenStyle();
  style_.charHeight = fm.height();
  style_.charWidth = std::max(fm.averageCharWidth(), fm.horizontalAdvance(QLatin1Char('0')));
  style_.labelGap = 3;
  style_.markRadius = 2.5;
  style_.northSize = 34;
}

void PlanCanvas::SetView(const PlanView& view) {
  view_ = view;
  view_.width = width();
  view_.height = height();
  autoFit_ = false;
  update();
}

void PlanCanvas::Fit() {
  view_ = FitView(model_.MainExtent(), width(), height(), 3 * style_.margin);
  autoFit_ = true;
  update();
}

void PlanCanvas::ModelChanged() {
  if (autoFit_) {
    Fit();
  } else {
    update();
  }
}

void PlanCanvas::Select(std::optional<size_t> point, bool bringIntoView) {
  selected_ = point;
  if (point && bringIntoView && *point < model_.Points().size()) {
    const SurveyPoint& p = model_.Points()[*point];
    const PlanPoint at = ToArea(view_, p.northing, p.easting);
    if (at.x < style_.margin || at.y < style_.margin || at.x > view_.width - style_.margin ||
        at.y > view_.height - style_.margin) {
      view_.centreNorthing = p.northing;
      view_.centreEasting = p.easting;
      autoFit_ = false;
    }
  }
  update();
}

void PlanCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  if (model_.Points().empty()) {
    p.setPen(QColor(128, 128, 128));
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No points"));
  } else {
    PaintPlanArea(p, model_, DrawPlan(model_, view_, style_), style_, 1.0, QPointF(0, 0),
                  selected_);
  }
  if (hasFocus()) {
    p.setPen(QPen(palette().highlight().color(), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void PlanCanvas::resizeEvent(QResizeEvent*) {
  view_.width = width();
  view_.height = height();
  if (autoFit_) Fit();
}

void PlanCanvas::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  const QPointF at = event->position();
  view_ = Zoomed(view_, std::pow(kZoomStep, steps), {at.x(), at.y()});
  autoFit_ = false;
  update();
  event->accept();
}

void PlanCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  pressed_ = true;
  dragging_ = false;
  pressAt_ = event->position().toPoint();
  pressView_ = view_;
}

void PlanCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_) return;
  const QPoint d = event->position().toPoint() - pressAt_;
  if (!dragging_ && d.manhattanLength() < kDragStart) return;
  dragging_ = true;
  view_ = Panned(pressView_, d.x(), d.y());
  autoFit_ = false;
  update();
}

void PlanCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  if (dragging_) return;
  const QPointF at = event->position();
  const std::optional<size_t> point = PointAt(model_, view_, {at.x(), at.y()}, kPickRadius);
  if (!point) return;
  Select(point, false);
  if (onPicked) onPicked(*point);
}

void PlanCanvas::keyPressEvent(QKeyEvent* event) {
  const PlanPoint centre{view_.width / 2, view_.height / 2};
  const double step = std::min(view_.width, view_.height) / 8;
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      view_ = Zoomed(view_, kZoomStep, centre);
      break;
    case Qt::Key_Minus:
      view_ = Zoomed(view_, 1 / kZoomStep, centre);
      break;
    case Qt::Key_Left:
      view_ = Panned(view_, step, 0);
      break;
    case Qt::Key_Right:
      view_ = Panned(view_, -step, 0);
      break;
    case Qt::Key_Up:
      view_ = Panned(view_, 0, step);
      break;
    case Qt::Key_Down:
      view_ = Panned(view_, 0, -step);
      break;
    case Qt::Key_Home:
      Fit();
      return;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  autoFit_ = false;
  update();
}

}  // namespace ulvo
