#pragma once

#include <QMainWindow>
#include <QSet>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kavex/comm/clock.h"
#include "kavex/shell/main_logic.h"
#include "kavex/shell/settings_file.h"

class QAction;
class QLabel;
class QMenu;
class QToolButton;

namespace kavex {

class DataMemo;
class QtPrompts;
class TAboutBox;
class THelpForm;

// TMainForm: the main window. It shows what MainLogic decides; every command is a QAction
// that the menu item and the tool button share. A command is enabled only once it is
// built (SetBuilt) and while the window is not busy.
class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // Reads the settings from paths; defaultDataDir is used when they name no usable folder.
  TMainForm(const SettingsPaths& paths, const std::string& defaultDataDir,
            QWidget* parent = nullptr);
  ~TMainForm() override;

  MainLogic& Logic() { return *logic_; }
  QtPrompts& Ui() { return *prompts_; }
  const SettingsPaths& Paths() const { return paths_; }

  // Marks a command as built: it is enabled whenever the window is not busy.
  void SetBuilt(QAction* action, bool built = true);
  // Runs command when the action (menu item or tool button) is chosen, and marks it built.
  void Wire(QAction* action, std::function<void()> command);
  bool IsBuilt(QAction* action) const { return built_.contains(action); }
  // EnterBusy / LeaveBusy as the window shows them.
  void SetBusy(bool busy);
  bool Busy() const { return busy_; }

  // A command by its action's name (the names of the family and conversion tables).
  QAction* Action(const char* name) const;

  // The manual's first page that "&Contents" shows (help/index.html of the data folder
  // unless set).
  void SetHelpFile(const QString& path) { helpFile_ = path; }

  // "&File"
  QAction* NewItem;
  QAction* OpenItem;
  QAction* SaveItem;
  QAction* SaveAsItem;
  QAction* PrintItem;
  QAction* DataDirItem;
  QAction* ExitItem;
  // "Co&mm" -> "&Download", one item per download family
  QAction* DldTerminal;
  QAction* DldQRX7;
  QAction* DldQRX6;
  QAction* DldHK1;
  // "Co&mm" -> "&Upload", one item per upload family
  QAction* UldTerminal;
  QAction* UldQRX7;
  QAction* UldQRX6;
  QAction* QRX2003006CODE1;
  // "Con&version", one item per conversion
  QAction* toQRX7008001;
  QAction* toHK100Text1;
  QAction* toQRXRaw;
  QAction* toQRX61;
  QAction* toQRX200300COD1;
  QAction* toDXF;
  // "&Help"
  QAction* ContentsItem;
  QAction* AboutItem;
  // The "EDIT MODE" button.
  QAction* EditButton;

  QMenu* FileMenu;
  QMenu* CommMenu;
  QMenu* DownloadMenu;
  QMenu* UploadMenu;
  QMenu* ConversionMenu;
  QMenu* HelpMenu;

  QLabel* FileLabel;     // "File: "
  QLabel* CurrFilePass;  // "(unsaved)" or the path
  QToolButton* EditModeButton;
  DataMemo* DataMemo1;
  // The speed buttons in their order on the tool bar: the file commands, then the families
  // that have a speed button, downloads before uploads.
  std::vector<QToolButton*> ToolButtons;

  TAboutBox* AboutBox;
  THelpForm* HelpForm = nullptr;  // made when "&Contents" first finds the manual

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildLayout();
  void ConnectCommands();
  void UpdateEnabled();
  void HelpContents();
  QList<QAction*> Commands() const { return commands_; }

  SettingsPaths paths_;
  SystemClock clock_;
  std::unique_ptr<QtPrompts> prompts_;
  std::unique_ptr<MainLogic> logic_;
  QList<QAction*> commands_;  // every action the form made
  QList<QAction*> downloadActions_;
  QList<QAction*> uploadActions_;
  QList<QAction*> conversionActions_;
  QSet<QAction*> built_;
  bool busy_ = false;
  bool centred_ = false;
  QString helpFile_;
};

}  // namespace kavex
