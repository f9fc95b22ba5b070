#pragma once

// Its PlanCanvas is the twin of ulvo/gui/plan_canvas.h: the programs share no code, so the
// plan's widget is kept alike in both by hand. A change to one belongs in the other too.

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "kavex/exports/plan_drawing.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace kavex {

class DataMemo;

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

// The "Plan" pane beside the current data: it reads the points out of the view's lines as
// they change (a download's lines as they arrive, an edit, a conversion's result), shows
// their count with the marks in its header, and saves the plan as a PDF, PNG or SVG file.
class PlanPane : public QWidget {
 public:
  static constexpr int kWidth = 470;
  static constexpr int kSettleMs = 150;   // changes gathered before the plan is read again
  static constexpr int kMaxWaitMs = 600;  // the longest a change waits to be read

  explicit PlanPane(DataMemo& view, QWidget* parent = nullptr);
  ~PlanPane() override;

  bool IsOpen() const { return open_; }
  void SetOpen(bool open);
  // Reads what changed in the view since the last look (the timer does it by itself).
  void Refresh();

  const PlanModel& Model() const { return model_; }
  PlanCanvas* Canvas() const { return canvas_; }
  QLabel* Header() const { return header_; }
  QLabel* Note() const { return note_; }
  QComboBox* SheetBox() const { return sheet_; }
  QComboBox* ScaleBox() const { return scale_; }
  QPushButton* FitButton() const { return fit_; }
  QPushButton* SaveButton() const { return save_; }

  // Selects the point on the view's line (the cursor's line) and back: picking a point
  // selects its line.
  void SelectLine(int line);
  void SelectPoint(size_t point);
  // The row of the coordinate table (Data Edit) of a point, and the point of a row: the
  // table lists the QRX-6 records in order, so they match while every record was read.
  std::optional<int> RowOf(size_t point) const;
  std::optional<size_t> PointOfRow(int row) const;

  // Writes the plan to path as its extension says; the note tells how it went, a failure
  // also goes to onMessage.
  bool SaveTo(const QString& path);

  std::function<void(bool open)> onOpenChanged;
  std::function<void(size_t point)> onPicked;
  std::function<QString()> choosePath;
  std::function<QString()> title;  // the file name the sheet shows
  std::function<void(const std::string& text)> onMessage;

 private:
  void LinesChanged(int first, int removed);
  void Wait(bool untilQuiet);
  void Rebuild();
  void ReadNewLines();
  void UpdateHeader();
  bool CoordinateTable() const;

  DataMemo& text_;
  bool open_ = false;
  bool stale_ = true;      // everything must be read again
  bool appended_ = false;  // lines were added at the end
  std::unique_ptr<SurveyPointReader> reader_;
  PlanModel model_;
  bool following_ = false;  // a cursor move comes from a pick, not the user
  QLabel* header_;
  PlanCanvas* canvas_;
  QPushButton* fit_;
  QComboBox* sheet_;
  QComboBox* scale_;
  QPushButton* save_;
  QLabel* note_;
  QTimer* timer_;
  QElapsedTimer pending_;  // since the first change not read yet
};

}  // namespace kavex
