#pragma once

#include <QDialog>
#include <functional>

#include "ulvo/gis/gis_commands.h"
#include "ulvo/gui/task_context.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace ulvo {

// The small dialog of "to GIS..." and "from GIS...": the GIS format (export only), the file,
// the job's coordinate system by code or by a search of PROJ's list, a layer per code.
class GisDialog : public QDialog {
  Q_OBJECT

 public:
  // Picks the file: save for an export, open for an import; empty on Cancel.
  using FileChooser =
      std::function<QString(bool save, const QString& start, const QString& filter)>;

  GisDialog(const TaskContext& context, QWidget* parent = nullptr);
  void Setup(const GisDialogOptions& options, bool importing);
  GisDialogOptions options() const;
  void SetFileChooser(FileChooser chooser) { choose_ = std::move(chooser); }

  // The system's list for the words in the edit.
  void Search();

  QComboBox* FormatBox = nullptr;
  QLineEdit* FileEdit = nullptr;
  QPushButton* BrowseButton = nullptr;
  QLineEdit* CrsEdit = nullptr;
  QPushButton* SearchButton = nullptr;
  QLabel* CrsName = nullptr;
  QListWidget* CrsList = nullptr;
  QCheckBox* LayerByCodeBox = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString T(const TextId& id) const { return context_.QText(id.key, id.defaultText); }
  void ShowCrsName();
  void FormatChanged();
  void Browse();

  const TaskContext& context_;
  FileChooser choose_;
  QLabel* formatLabel_ = nullptr;
  bool importing_ = false;
};

// The commands' prompts in the window: the dialog, message boxes.
class QtGisPrompts : public GisPrompts {
 public:
  QtGisPrompts(QWidget* parent, const TaskContext& context) : parent_(parent), context_(context) {}
  bool Ask(GisDialogOptions& options, bool importing) override;
  void ShowMessage(const Message& message, bool failure) override;
  bool AskReplace(const Message& question) override;
  void SetBusy(bool busy) override;

 private:
  QString Text(const Message& message) const;
  QWidget* parent_;
  const TaskContext& context_;
};

}  // namespace ulvo
