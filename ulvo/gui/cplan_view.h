#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "ulvo/convert/convert_settings.h"
#include "ulvo/convert/plan_drawing.h"
#include "ulvo/convert/plan_points.h"
#include "ulvo/gui/task_context.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ulvo {

class PlanCanvas;

// The "Plan" task window: the points of a file read with a chosen format, north up, with the
// elements that hold northing, easting, height, name and code chosen per format (kept in
// Settings.xml). It also draws the source or the target of the last conversion, so that the
// two can be compared, and saves the plan as a PDF, PNG or SVG file.
class CPlanView : public QWidget {
  Q_OBJECT

 public:
  using FileChooser = std::function<QString(bool save, const QString& start)>;

  explicit CPlanView(TaskContext context, QWidget* parent = nullptr);

  void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
  void SetMessageSink(std::function<void(const std::string&)> sink) { message_ = std::move(sink); }

  // Reads the file with the format and the chosen elements, and remembers the choice.
  bool Draw();
  // The source or the target of the last conversion, then Draw.
  bool DrawConversion(bool target);
  // The file of one side of a conversion, read with that side's format, then Draw.
  bool DrawSide(const ConvertSide& side);
  bool SaveTo(const QString& path);
  // The application's format list was read again.
  void ReloadFormats();

  QComboBox* Format() const { return format_; }
  QLineEdit* File() const { return file_; }
  QComboBox* Element(int i) const { return elements_[i]; }  // northing, easting, height, name, code
  QLabel* Header() const { return header_; }
  QLabel* Note() const { return note_; }
  PlanCanvas* Canvas() const { return canvas_; }
  QComboBox* SheetBox() const { return sheet_; }
  QComboBox* ScaleBox() const { return scale_; }
  const PlanModel& Model() const { return model_; }

 signals:
  void CloseRequested();

 private:
  void ShowElements();
  PlanElements ChosenElements() const;
  void Tell(const std::string& text);

  TaskContext context_;
  PlanModel model_;
  FileChooser chooseFile_;
  std::function<void(const std::string&)> message_;
  QComboBox* format_;
  QLineEdit* file_;
  QComboBox* elements_[5];
  QLabel* header_;
  PlanCanvas* canvas_;
  QComboBox* sheet_;
  QComboBox* scale_;
  QLabel* note_;
};

}  // namespace ulvo
