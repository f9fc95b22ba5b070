#pragma once

#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ulvo/gui/lock_keys.h"
#include "ulvo/shell/application.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace ulvo {

class CHelpView;

// Command identifiers of the menu and toolbar.
inline constexpr int kCmdTransfer = 32773;
inline constexpr int kCmdConvert = 32774;
inline constexpr int kCmdFormats = 32779;
inline constexpr int kCmdTypes = 32780;
inline constexpr int kCmdGroups = 32781;
inline constexpr int kCmdElements = 32782;
inline constexpr int kCmdPrint = 57607;
inline constexpr int kCmdPlan = 32790;

// Gives a control its help identifier: F1 on it (or on a child) looks for "H%07d.htm".
void SetHelpId(QWidget* control, int controlId);
int HelpIdOf(const QWidget* control);  // 0 when neither it nor a parent has one

// Set true on a task view that refused to close but will close itself once its work has
// stopped (a transfer the user agreed to stop): an Exit that met it then goes on.
inline constexpr const char* kClosesWhenStoppedProperty = "ulvoClosesWhenStopped";

// The multiple-document main window: menu, toolbar, status bar and the task windows.
class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  // Creates the view of a new task window; the frame puts it in an MDI child window.
  using TaskFactory = std::function<QWidget*(CMainFrame& frame)>;
  using MessageHandler = std::function<void(const QString& text)>;
  using LockKeyReader = std::function<LockKeys()>;

  // Loads the translations file first; the Help type is registered here.
  explicit CMainFrame(CDunmarkApp& app, QWidget* parent = nullptr);
  ~CMainFrame() override;

  CDunmarkApp& App() const { return app_; }
  const Translations& Texts() const { return app_.Texts(); }
  QString Text(std::string_view key, std::string_view defaultText) const;

  // A task window type. The commands of the type (Transfer, Convert, Formats) are enabled
  // once it has a factory, and only while no window of it is open.
  void RegisterTask(const std::string& typeName, TaskFactory factory);
  // A command that is not a task window (Types, Groups, Elements: modal dialogs); enabled
  // once it has a handler.
  void SetCommandHandler(int commandId, std::function<void()> handler);
  QAction* CommandAction(int commandId) const;
  // Every command of the menus and toolbar with an identifier, in identifier order.
  std::vector<int> CommandIds() const;

  // Opens a window of the type, or brings its open one forward; nullptr when not registered.
  QWidget* OpenTask(const std::string& typeName);
  bool TaskIsOpen(const std::string& typeName) const;
  QWidget* TaskView(const std::string& typeName) const;
  // Closes the task window holding view (a view's own Close button).
  void CloseTask(QWidget* view);

  // The one help window: opened when none is, then shown the page.
  void ShowHelpPage(const QString& path);
  void ShowHelpIndex();
  // F1 on a control: its "H%07d.htm" page, or the "helpfile %s not found." message.
  void ShowContextHelp(int controlId);

  // Menu texts from the translations; called once the frame is shown.
  void TranslateMenu();
  // Reads the format list again and tells open windows (formatsRefreshed).
  void RefreshFormats();

  // What the user must know once the frame is shown: a Settings.xml that could not be read
  // and where it was put.
  void ShowStartNotices();

  // Every message of the frame is shown here (a message box unless a test replaces it).
  void ShowMessage(const QString& text);
  void SetMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
  void SetLockKeyReader(LockKeyReader reader);
  void UpdateIndicators();

 signals:
  void formatsRefreshed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Task {
    TaskFactory factory;
    QPointer<QMdiSubWindow> window;
  };

  void CreateMenu();
  void CreateToolBar();
  void CreateStatusBar();
  QAction* AddCommand(QMenu* menu, int commandId, const char* key, const char* text);
  void UpdateCommands();
  void ContextHelpForFocus();
  // The page of control, or of the nearest parent that has one; the index when none has.
  void ContextHelpFor(const QWidget* control);
  void ShowAbout();

  CDunmarkApp& app_;
  QMdiArea* mdi_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QAction* toolBarItem_ = nullptr;
  QAction* helpIndexItem_ = nullptr;
  std::map<std::string, Task> tasks_;
  std::map<int, QAction*> commands_;
  std::map<int, std::function<void()>> handlers_;
  std::map<int, std::string> taskCommands_;
  // Top-level popups and the Format Design submenu, with their keys.
  std::vector<std::pair<QMenu*, const char*>> popups_;
  std::map<QAction*, const char*> itemKeys_;
  QLabel* readyPane_ = nullptr;
  QLabel* capPane_ = nullptr;
  QLabel* numPane_ = nullptr;
  QLabel* scrlPane_ = nullptr;
  MessageHandler messageHandler_;
  LockKeyReader lockKeyReader_;
  // An Exit waits for a task window that closes once its work has stopped.
  bool exitWhenClosed_ = false;
};

}  // namespace ulvo
