#include "ulvo/gui/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "ulvo/gui/about_dlg.h"
#include "ulvo/gui/form_keys.h"
#include "ulvo/gui/help_view.h"
#include "ulvo/gui/pictures.h"
#include "ulvo/gui/qt_translations.h"
#include "ulvo/gui/ui_text.h"
#include "ulvo/shell/help_pages.h"

namespace ulvo {
namespace {

constexpr const char* kHelpIdProperty = "ulvoHelpId";
constexpr const char* kTaskTypeProperty = "ulvoTaskType";

QString Path(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

// The document types' resource numbers: F1 on a control of a task window that has no page
// of its own shows its window's page.
int TaskResourceId(const std::string& typeName) {
  static const std::map<std::string, int> kIds = {{kTransferType, 402}, {kHelpType, 403},
                                                  {kConvertType, 404},  {kMergeType, 405},
                                                  {kDesignType, 406},   {kPlanType, 407}};
  const auto it = kIds.find(typeName);
  return it == kIds.end() ? 0 : it->second;
}

QString WithoutMnemonic(QString text) {
  text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
  return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

}  // namespace

void SetHelpId(QWidget* control, int controlId) {
  control->setProperty(kHelpIdProperty, controlId);
}

int HelpIdOf(const QWidget* control) {
  for (const QWidget* w = control; w; w = w->parentWidget()) {
    const QVariant id = w->property(kHelpIdProperty);
    if (id.isValid()) return id.toInt();
  }
  return 0;
}

CMainFrame::CMainFrame(CDunmarkApp& app, QWidget* parent)
    : QMainWindow(parent), app_(app), lockKeyReader_(ReadLockKeys) {
  app_.LoadTranslations();
  InstallQtTranslations(app_.Language(), this);
  setWindowTitle(QStringLiteral("ULVO"));
  setWindowIcon(ProgramIcon());
  mdi_ = new QMdiArea(this);
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);
  CreateMenu();
  CreateToolBar();
  CreateStatusBar();
  new FormKeys(*mdi_, *menuBar(), this);

  tasks_[kHelpType].factory = [](CMainFrame& frame) -> QWidget* {
    auto* view = new CHelpView(frame.App().ProgramFolder());
    view->setWindowTitle(frame.Text("DT_HELP", "Help"));
    view->Navigate(Path(HelpIndexPath(frame.App().ProgramFolder())));
    return view;
  };
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  help->setContext(Qt::ApplicationShortcut);
  connect(help, &QShortcut::activated, this, &CMainFrame::ContextHelpForFocus);

  // Lock states change while any window of the program or another program has the keyboard.
  qApp->installEventFilter(this);
  UpdateCommands();
  UpdateIndicators();
  resize(900, 650);
}

CMainFrame::~CMainFrame() {
  qApp->removeEventFilter(this);
}

QString CMainFrame::Text(std::string_view key, std::string_view defaultText) const {
  return UiText(app_.Texts(), key, defaultText);
}

QAction* CMainFrame::AddCommand(QMenu* menu, int commandId, const char* key, const char* text) {
  auto* action = menu->addAction(QString::fromUtf8(text));
  itemKeys_[action] = key;
  if (commandId != 0) {
    commands_[commandId] = action;
    connect(action, &QAction::triggered, this, [this, commandId] {
      if (auto it = taskCommands_.find(commandId); it != taskCommands_.end()) {
        OpenTask(it->second);
      } else if (auto h = handlers_.find(commandId); h != handlers_.end() && h->second) {
        h->second();
      }
    });
  }
  return action;
}

void CMainFrame::CreateMenu() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  popups_.emplace_back(file, "MNU_FILE");
  QMenu* design = file->addMenu(QStringLiteral("&Format Design"));
  popups_.emplace_back(design, "MNU_FILE_DESIGN");
  AddCommand(design, kCmdFormats, "MNU_FILE_DESIGN_FORMATS", "&Formats");
  design->addSeparator();
  AddCommand(design, kCmdTypes, "MNU_FILE_DESIGN_TYPES", "&Types");
  AddCommand(design, kCmdGroups, "MNU_FILE_DESIGN_GROUPS", "&Groups");
  AddCommand(design, kCmdElements, "MNU_FILE_DESIGN_ELEMENTS", "&Elements");
  file->addSeparator();
  QAction* exit = AddCommand(file, 0, "MNU_FILE_EXIT", "E&xit");
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* tasks = bar->addMenu(QStringLiteral("&Tasks"));
  popups_.emplace_back(tasks, "MNU_TASKS");
  AddCommand(tasks, kCmdTransfer, "MNU_TASKS_TRANSFER", "&Transfer");
  AddCommand(tasks, kCmdConvert, "MNU_TASKS_CONVERT", "&Convert");
  AddCommand(tasks, kCmdPlan, "MNU_TASKS_PLAN", "&Plan");
  taskCommands_[kCmdTransfer] = kTransferType;
  taskCommands_[kCmdConvert] = kConvertType;
  taskCommands_[kCmdFormats] = kDesignType;
  taskCommands_[kCmdPlan] = kPlanType;

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  popups_.emplace_back(view, "MNU_VIEW");
  QAction* toolBar = AddCommand(view, 0, "MNU_VIEW_TOOLBAR", "&Toolbar");
  toolBar->setCheckable(true);
  toolBar->setChecked(true);
  QAction* statusBarItem = AddCommand(view, 0, "MNU_VIEW_STATUSBAR", "&Status Bar");
  statusBarItem->setCheckable(true);
  statusBarItem->setChecked(true);
  connect(toolBar, &QAction::toggled, this, [this](bool on) { toolBar_->setVisible(on); });
  connect(statusBarItem, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
  toolBarItem_ = toolBar;

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  popups_.emplace_back(help, "MNU_HELP");
  QAction* index = AddCommand(help, 0, "MNU_HELP_INDEX", "&Index");
  connect(index, &QAction::triggered, this, &CMainFrame::ShowHelpIndex);
  help->addSeparator();
  QAction* about = AddCommand(help, 0, "MNU_HELP_ABOUT", "&About ULVO...");
  connect(about, &QAction::triggered, this, &CMainFrame::ShowAbout);
  helpIndexItem_ = index;
}

void CMainFrame::CreateToolBar() {
  toolBar_ = addToolBar(WithoutMnemonic(toolBarItem_->text()));
  toolBar_->setObjectName(QStringLiteral("toolBar"));
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  toolBar_->setIconSize(QSize(16, 15));
  auto add = [this](QAction* action, ToolIcon icon) {
    action->setIcon(ToolBarIcon(icon));
    toolBar_->addAction(action);
  };
  add(commands_[kCmdTransfer], ToolIcon::kTransfer);
  add(commands_[kCmdConvert], ToolIcon::kConvert);
  toolBar_->addSeparator();
  add(commands_[kCmdFormats], ToolIcon::kFormats);
  toolBar_->addSeparator();
  add(helpIndexItem_, ToolIcon::kHelpIndex);
  // No task window prints yet, so Print stays disabled.
  auto* print = new QAction(QStringLiteral("Print"), this);
  itemKeys_[print] = "MNU_FILE_PRINT";
  commands_[kCmdPrint] = print;
  print->setEnabled(false);
  add(print, ToolIcon::kPrint);
  // The toolbar's own view action follows only real hiding (its close button, a float
  // closed), not a minimised frame.
  connect(toolBar_->toggleViewAction(), &QAction::toggled, toolBarItem_, &QAction::setChecked);
  for (QAction* action : toolBar_->actions()) {
    if (!action->isSeparator()) action->setToolTip(WithoutMnemonic(action->text()));
  }
}

void CMainFrame::CreateStatusBar() {
  auto pane = [this](const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addPermanentWidget(label);
    return label;
  };
  // The idle text stays under the menu tips instead of being wiped by them.
  readyPane_ = new QLabel(this);
  statusBar()->addWidget(readyPane_, 1);
  capPane_ = pane("CAP");
  numPane_ = pane("NUM");
  scrlPane_ = pane("SCRL");
  readyPane_->setText(Text("MSG_READY", "Ready"));
}

void CMainFrame::SetLockKeyReader(LockKeyReader reader) {
  lockKeyReader_ = std::move(reader);
  UpdateIndicators();
}

void CMainFrame::UpdateIndicators() {
  const LockKeys keys = lockKeyReader_ ? lockKeyReader_() : LockKeys{};
  capPane_->setText(keys.caps ? QStringLiteral("CAP") : QString());
  numPane_->setText(keys.num ? QStringLiteral("NUM") : QString());
  scrlPane_->setText(keys.scroll ? QStringLiteral("SCRL") : QString());
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    // Once per key and per activation: the key reaches its window before the widgets, and
    // an activation is passed down to every widget of the window.
    case QEvent::KeyRelease:
      if (watched->isWindowType()) UpdateIndicators();
      break;
    case QEvent::KeyPress: {
      // A modal dialog blocks the frame's F1 shortcut: its controls' pages are shown in the
      // frame's Help window all the same, where they stay once the dialog is closed.
      const auto* key = static_cast<QKeyEvent*>(event);
      QWidget* modal = QApplication::activeModalWidget();
      auto* widget = qobject_cast<QWidget*>(watched);
      if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && modal && widget &&
          (widget == modal || modal->isAncestorOf(widget))) {
        ContextHelpFor(widget);
        return true;
      }
      break;
    }
    case QEvent::ApplicationStateChange:
      UpdateIndicators();
      break;
    case QEvent::WindowActivate:
      if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
        UpdateIndicators();
      }
      break;
    case QEvent::Close:
      // The window may still refuse; look again once the close has run.
      if (qobject_cast<QMdiSubWindow*>(watched)) {
        QMetaObject::invokeMethod(this, &CMainFrame::UpdateCommands, Qt::QueuedConnection);
      }
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::TranslateMenu() {
  for (auto& [menu, key] : popups_) {
    if (auto text = Texts().Find(key)) menu->setTitle(ToQString(*text));
  }
  for (auto& [action, key] : itemKeys_) {
    if (auto text = Texts().Find(key)) action->setText(ToQString(*text));
  }
  for (QAction* action : toolBar_->actions()) {
    if (!action->isSeparator()) action->setToolTip(WithoutMnemonic(action->text()));
  }
  toolBar_->setWindowTitle(WithoutMnemonic(toolBarItem_->text()));
  readyPane_->setText(Text("MSG_READY", "Ready"));
  menuBar()->update();
}

void CMainFrame::RegisterTask(const std::string& typeName, TaskFactory factory) {
  tasks_[typeName].factory = std::move(factory);
  UpdateCommands();
}

void CMainFrame::SetCommandHandler(int commandId, std::function<void()> handler) {
  handlers_[commandId] = std::move(handler);
  UpdateCommands();
}

QAction* CMainFrame::CommandAction(int commandId) const {
  auto it = commands_.find(commandId);
  return it == commands_.end() ? nullptr : it->second;
}

std::vector<int> CMainFrame::CommandIds() const {
  std::vector<int> ids;
  for (const auto& [id, action] : commands_) ids.push_back(id);
  return ids;
}

void CMainFrame::UpdateCommands() {
  for (auto& [id, action] : commands_) {
    if (auto t = taskCommands_.find(id); t != taskCommands_.end()) {
      auto task = tasks_.find(t->second);
      action->setEnabled(task != tasks_.end() && task->second.factory && !TaskIsOpen(t->second));
    } else if (id != kCmdPrint) {
      auto h = handlers_.find(id);
      action->setEnabled(h != handlers_.end() && h->second);
    }
  }
}

QWidget* CMainFrame::OpenTask(const std::string& typeName) {
  auto it = tasks_.find(typeName);
  if (it == tasks_.end() || !it->second.factory) return nullptr;
  Task& task = it->second;
  if (!TaskIsOpen(typeName)) {
    QWidget* view = task.factory(*this);
    if (!view) return nullptr;
    auto* window = mdi_->addSubWindow(view);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setProperty(kTaskTypeProperty, QString::fromStdString(typeName));
    if (const int id = TaskResourceId(typeName)) SetHelpId(window, id);
    if (view->windowTitle().isEmpty()) view->setWindowTitle(QString::fromStdString(typeName));
    window->setWindowIcon(ProgramIcon());
    task.window = window;
    window->show();
    UpdateCommands();
  }
  mdi_->setActiveSubWindow(task.window);
  return task.window->widget();
}

bool CMainFrame::TaskIsOpen(const std::string& typeName) const {
  // A closed window lingers until its deferred deletion; hidden is closed.
  auto it = tasks_.find(typeName);
  return it != tasks_.end() && it->second.window && !it->second.window->isHidden();
}

QWidget* CMainFrame::TaskView(const std::string& typeName) const {
  auto it = tasks_.find(typeName);
  return TaskIsOpen(typeName) ? it->second.window->widget() : nullptr;
}

void CMainFrame::CloseTask(QWidget* view) {
  for (auto& [name, task] : tasks_) {
    if (task.window && task.window->widget() == view) {
      task.window->close();
      return;
    }
  }
}

void CMainFrame::ShowHelpPage(const QString& path) {
  if (auto* view = qobject_cast<CHelpView*>(OpenTask(kHelpType))) view->Navigate(path);
}

void CMainFrame::ShowHelpIndex() {
  ShowHelpPage(Path(HelpIndexPath(app_.ProgramFolder())));
}

void CMainFrame::ShowContextHelp(int controlId) {
  const std::string page = HelpPageName(controlId);
  const QString path = Path(HelpFolder(app_.ProgramFolder()) / page);
  if (QFileInfo(path).isFile()) {
    ShowHelpPage(path);
  } else {
    ShowMessage(UiText(Texts(), Message{kHelpFileNotFound, page}));
  }
}

void CMainFrame::ContextHelpForFocus() {
  ContextHelpFor(QApplication::focusWidget());
}

void CMainFrame::ContextHelpFor(const QWidget* control) {
  const int id = HelpIdOf(control);
  if (id != 0) {
    ShowContextHelp(id);
  } else {
    ShowHelpIndex();
  }
}

void CMainFrame::ShowAbout() {
  CAboutDlg about(app_.Texts(), this);
  about.exec();
}

void CMainFrame::RefreshFormats() {
  app_.RefreshFormats();
  emit formatsRefreshed();
}

void CMainFrame::ShowStartNotices() {
  const SettingsDocument& settings = app_.Settings();
  if (settings.Problem().empty()) return;
  const QString file = Path(SettingsFilePath(app_.ProgramFolder()));
  const QString why = ToQString(settings.Problem());
  if (!settings.SetAsidePath().empty()) {
    ShowMessage(UiText(Texts(), kSettingsSetAside).arg(file, why, Path(settings.SetAsidePath())));
  } else {
    ShowMessage(UiText(Texts(), kSettingsNotSetAside)
                    .arg(file, why, ToQString(settings.SetAsideProblem())));
  }
}

void CMainFrame::ShowMessage(const QString& text) {
  if (messageHandler_) {
    messageHandler_(text);
  } else {
    QMessageBox::information(this, QStringLiteral("ULVO"), text);
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // Task windows may refuse (unsaved definitions); then the program stays.
  for (QMdiSubWindow* window : mdi_->subWindowList()) {
    if (!window->isHidden() && !window->close()) {
      if (!exitWhenClosed_ && window->widget() &&
          window->widget()->property(kClosesWhenStoppedProperty).toBool()) {
        exitWhenClosed_ = true;
        connect(
            window, &QObject::destroyed, this,
            [this] {
              exitWhenClosed_ = false;
              close();
            },
            Qt::QueuedConnection);
      }
      event->ignore();
      return;
    }
  }
  if (!app_.Exit()) {
    ShowMessage(UiText(
        Texts(), Message{kSettingsNotSaved, SettingsFilePath(app_.ProgramFolder()).string()}));
  }
  event->accept();
}

}  // namespace ulvo
