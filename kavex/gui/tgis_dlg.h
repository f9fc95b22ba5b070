#pragma once

#include <QDialog>

#include "kavex/gis/gis_commands.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kavex {

class Prompts;

// The "to GIS..." and "from GIS..." dialog: format, file, the job's coordinate system with
// a search of PROJ's list, and a layer per code. Set up for one use and read back with
// options(), so it can be checked without exec().
class TGisDlg : public QDialog {
  Q_OBJECT

 public:
  // browse: the file dialogs of the "..." button.
  TGisDlg(Prompts& browse, QWidget* parent = nullptr);

  void Setup(const GisDialogOptions& options, bool importing);
  GisDialogOptions options() const;

  // Fills the list from PROJ's names holding every word of the search text.
  void Search();

  QComboBox* FormatBox;
  QLineEdit* FileEdit;
  QPushButton* BrowseButton;
  QLineEdit* CrsEdit;
  QPushButton* SearchButton;
  QListWidget* CrsList;
  QLabel* CrsName;  // what the system typed is, or why it is none
  QCheckBox* LayerByCodeBox;
  QPushButton* OkButton;
  QPushButton* CancelButton;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Browse();
  void FormatChanged();
  void ShowCrsName();

  Prompts& browse_;
  bool importing_ = false;
  QLabel* formatLabel_;
};

// TGisDlg as the commands ask for it, shown modally over the main window for each run.
class GisDialogPrompt final : public GisDialog {
 public:
  GisDialogPrompt(Prompts& browse, QWidget* parent) : browse_(browse), parent_(parent) {}
  bool Ask(GisDialogOptions& options, bool importing) override;

 private:
  Prompts& browse_;
  QWidget* parent_;
};

}  // namespace kavex
