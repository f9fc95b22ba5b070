#pragma once

// Twin of the PlanCanvas of kavex/gui/plan_pane.h: the programs share no code, so the plan's
// widget is kept alike in both by hand. A change to one belongs in the other too.

#include <QWidget>
#include <functional>
#include <optional>

#include "ulvo/convert/plan_drawing.h"

namespace ulvo {

// The plan itself: paints what the plan core draws for its view; wheel and +/- zoom, a
// drag or the arrow keys pan, Home fits, a click picks a point.
class PlanCanvas : public QWidget {
 public:
  explicit PlanCanvas(const PlanModel& model, QWidget* parent = nullptr);

  const PlanView& View() const { return view_; }
  void SetView(const PlanView& view);
  void Fit();
  // Fits again at every change of the model until the user zooms or pans.
  void FitNext() { autoFit_ = true; }
  void ModelChanged();
  void Select(std::optional<size_t> point, bool bringIntoView);
  std::optional<size_t> Selected() const { return selected_; }
  // Character sizes of the labels in this widget's font.
  const PlanStyle& Style() const { return style_; }

  std::function<void(size_t point)> onPicked;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const PlanModel& model_;
  PlanView view_;
  PlanStyle style_;
  bool autoFit_ = true;  // follows the points until the user moves the view
  std::optional<size_t> selected_;
  QPoint pressAt_;
  PlanView pressView_;
  bool dragging_ = false;
  bool pressed_ = false;
};

}  // namespace ulvo
