#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "ulvo/convert/conversion.h"
#include "ulvo/convert/convert_settings.h"
#include "ulvo/gis/gis_commands.h"
#include "ulvo/gui/task_context.h"

class QComboBox;
class QGroupBox;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace ulvo {

class IdNameCombo;

// Starts the XML editor without a shell and waits for it while the window keeps painting.
class EventLoopProcessRunner : public ProcessRunner {
 public:
  bool RunAndWait(const std::string& program, const std::string& argument) override;
};

// The Convert document has no data of its own.
class CConvertDoc : public QObject {
  Q_OBJECT
};

// The Convert form.
class CConvertView : public QWidget {
  Q_OBJECT

 public:
  using FileChooser = std::function<QString(bool save, const QString& start)>;
  // Shows what Identify found; with a format to offer, true when the user chose to use it.
  using IdentifyPresenter =
      std::function<bool(const QString& title, const QString& text, const QString& use)>;

  explicit CConvertView(TaskContext context, QWidget* parent = nullptr);
  // Writes the selections back to the settings.
  ~CConvertView() override;

  // Where the messages go and which files the browse buttons pick; tests replace them.
  void SetPrompts(ConversionPrompts* prompts);
  // The GIS dialog and its messages; tests replace them.
  void SetGisPrompts(GisPrompts* prompts);
  void SetProcessRunner(ProcessRunner* runner) { runner_ = runner; }
  void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
  void SetIdentifyPresenter(IdentifyPresenter presenter) { present_ = std::move(presenter); }
  // Opens the Plan window on one side of a conversion; the frame gives it.
  void SetPlanOpener(std::function<void(const ConvertSide&)> opener) {
    openPlan_ = std::move(opener);
  }
  // True while a conversion (and its editor) runs: the window must not close then.
  bool Busy() const { return busy_; }

  void Convert();
  // Tries every format on the source file, shows which read it whole and where the others
  // stop, and selects the best one as the source format when the user says so.
  void Identify();
  void SaveSelections();
  // The plan of the source or the target of the last conversion that succeeded.
  void OpenPlan(bool target);
  // "to GIS...": the points of the last conversion's source or target to a GIS file.
  void ExportToGis(bool target);
  // "from GIS...": a GIS file's points written as the target, with the target's format.
  void ImportFromGis();
  const std::optional<ConvertSelections>& LastConversion() const { return last_; }
  // A file was received while the window is open: it becomes the source shown.
  void ShowSource(const ConvertSide& source);
  // The application's format list was read again: the format lists offer what it holds now,
  // keeping the chosen formats that still exist.
  void ReloadFormats();

  IdNameCombo* SourceType() const { return fromType_; }
  IdNameCombo* TargetType() const { return toType_; }
  QComboBox* SourceFormat() const { return fromFormat_; }
  QComboBox* TargetFormat() const { return toFormat_; }
  QLineEdit* SourceFile() const { return fromFile_; }
  QLineEdit* TargetFile() const { return toFile_; }
  QPushButton* PlanButton() const { return plan_; }
  QMenu* PlanMenu() const { return planMenu_; }
  QPushButton* ToGisButton() const { return toGis_; }
  QMenu* ToGisMenu() const { return toGisMenu_; }
  QPushButton* FromGisButton() const { return fromGis_; }

 signals:
  void CloseRequested();

 protected:
  // Refused while a conversion runs.
  void closeEvent(QCloseEvent* event) override;

 private:
  void Translate();
  void FillFormats(QComboBox* list, const std::string& typeId);
  void RestoreSide(IdNameCombo* type, QComboBox* format, QLineEdit* file,
                   const ConvertSide& values);
  void OnSourceType();
  void OnTargetType();
  void Browse(bool target);
  ConvertSelections Shown() const;

  TaskContext context_;
  std::string editorCommand_;
  std::unique_ptr<ConversionPrompts> ownPrompts_;
  ConversionPrompts* prompts_;
  std::unique_ptr<GisPrompts> ownGisPrompts_;
  GisPrompts* gisPrompts_;
  EventLoopProcessRunner ownRunner_;
  ProcessRunner* runner_ = &ownRunner_;
  FileChooser chooseFile_;
  IdentifyPresenter present_;
  std::function<void(const ConvertSide&)> openPlan_;
  std::optional<ConvertSelections> last_;
  bool busy_ = false;

  QGroupBox* fromBox_;
  QLabel* fromTypeLabel_;
  IdNameCombo* fromType_;
  QLabel* fromFormatLabel_;
  QComboBox* fromFormat_;
  QPushButton* identify_;
  QLabel* fromFileLabel_;
  QLineEdit* fromFile_;
  QPushButton* fromBrowse_;
  QGroupBox* toBox_;
  QLabel* toTypeLabel_;
  IdNameCombo* toType_;
  QLabel* toFormatLabel_;
  QComboBox* toFormat_;
  QLabel* toFileLabel_;
  QLineEdit* toFile_;
  QPushButton* toBrowse_;
  QPushButton* help_;
  QPushButton* plan_;
  QMenu* planMenu_;
  QAction* planSource_;
  QAction* planTarget_;
  QPushButton* toGis_;
  QMenu* toGisMenu_;
  QAction* toGisSource_;
  QAction* toGisTarget_;
  QPushButton* fromGis_;
  QPushButton* convert_;
  QPushButton* close_;
};

}  // namespace ulvo
