#include "kavex/gui/main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "kavex/gis/gis_commands.h"
#include "kavex/gui/about_box.h"
#include "kavex/gui/data_memo.h"
#include "kavex/gui/help_form.h"
#include "kavex/gui/program_icon.h"
#include "kavex/gui/qt_prompts.h"
#include "kavex/gui/radio_focus.h"
#include "kavex/platform/config_paths.h"
#include "kavex/shell/conversions.h"
#include "kavex/shell/transfer_families.h"

namespace kavex {
namespace {

constexpr int kIconSize = 24;

// A transfer button: an arrow into (download) or out of (upload) the computer, with the
// instrument family written beside it.
QIcon TransferIcon(bool download, const QString& family) {
  QPixmap pixmap(kIconSize * 2, kIconSize * 2);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(2, 2);
  const QColor colour = download ? QColor(20, 110, 40) : QColor(170, 60, 20);
  QPainterPath arrow;
  if (download) {
    arrow.moveTo(3, 2);
    arrow.lineTo(9, 2);
    arrow.lineTo(9, 12);
    arrow.lineTo(12, 12);
    arrow.lineTo(6, 20);
    arrow.lineTo(0, 12);
    arrow.lineTo(3, 12);
  } else {
    arrow.moveTo(3, 20);
    arrow.lineTo(9, 20);
    arrow.lineTo(9, 10);
    arrow.lineTo(12, 10);
    arrow.lineTo(6, 2);
    arrow.lineTo(0, 10);
    arrow.lineTo(3, 10);
  }
  arrow.closeSubpath();
  p.fillPath(arrow, colour);
  QFont font = p.font();
  font.setPixelSize(family.size() > 1 ? 8 : 12);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::black);
  p.drawText(QRectF(12, 0, 12, 24), Qt::AlignCenter, family);
  return QIcon(pixmap);
}

}  // namespace

TMainForm::TMainForm(const SettingsPaths& paths, const std::string& defaultDataDir, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      paths_(paths),
      helpFile_(QString::fromStdString(HelpFilePath())) {
  setObjectName(QStringLiteral("TMainForm"));
  setWindowTitle(QStringLiteral("Kavex"));
  setWindowIcon(ProgramIcon());
  RadioTabFocus::Install();
  BuildActions();
  BuildMenus();
  BuildLayout();
  setFixedSize(760, 540);

  prompts_ = std::make_unique<QtPrompts>(this);
  prompts_->SetBusyHandler([this](bool busy) { SetBusy(busy); });
  logic_ = std::make_unique<MainLogic>(*DataMemo1, *prompts_, clock_);
  AboutBox = new TAboutBox(this);

  ConnectCommands();
  for (QAction* a :
       {NewItem, OpenItem, SaveItem, SaveAsItem, DataDirItem, ExitItem, ContentsItem, AboutItem})
    built_.insert(a);
  UpdateEnabled();

  logic_->Start(paths_, defaultDataDir);
  DataMemo1->SetModified(false);
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildActions() {
  const auto make = [this](const char* name, const char* caption, const char* hint = nullptr) {
    auto* a = new QAction(QString::fromLatin1(caption), this);
    a->setObjectName(QString::fromLatin1(name));
    if (hint) a->setToolTip(QString::fromLatin1(hint));
    commands_.push_back(a);
    return a;
  };
  const auto transfer = [&make](const TransferMenuItem& item, bool download) {
    QAction* a = make(item.name, item.caption, item.hint);
    if (item.toolMark) a->setIcon(TransferIcon(download, QString::fromLatin1(item.toolMark)));
    return a;
  };
  NewItem = make("NewItem", "&New", "New (Clear)");
  OpenItem = make("OpenItem", "&Open", "File Load");
  SaveItem = make("SaveItem", "&Save", "File Save");
  SaveAsItem = make("SaveAsItem", "Save &as ");
  PrintItem = make("PrintItem", "&Print");
  DataDirItem = make("DataDirItem", "&Data Dir");
  ExitItem = make("ExitItem", "&Exit", "Exit");
  for (const DownloadFamily& f : DownloadFamilies())
    downloadActions_.push_back(transfer(f.menu, true));
  for (const UploadFamily& f : UploadFamilies()) uploadActions_.push_back(transfer(f.menu, false));
  DldTerminal = Action("DldTerminal");
  DldQRX7 = Action("DldQRX7");
  DldQRX6 = Action("DldQRX6");
  DldHK1 = Action("DldHK1");
  UldTerminal = Action("UldTerminal");
  UldQRX7 = Action("UldQRX7");
  UldQRX6 = Action("UldQRX6");
  QRX2003006CODE1 = Action("QRX2003006CODE1");
  for (const Conversion& c : Conversions()) conversionActions_.push_back(make(c.name, c.caption));
  // The GIS export and import follow the conversions.
  conversionActions_.push_back(make(kToGisName, kToGisCaption));
  conversionActions_.push_back(make(kFromGisName, kFromGisCaption));
  toQRX7008001 = Action("toQRX7008001");
  toHK100Text1 = Action("toHK100Text1");
  toQRXRaw = Action("toQRXRaw");
  toQRX61 = Action("toQRX61");
  toQRX200300COD1 = Action("toQRX200300COD1");
  toDXF = Action("toDXF");
  ContentsItem = make("ContentsItem", "&Contents");
  AboutItem = make("AboutItem", "&About");
  EditButton = make("EditButton", "EDIT MODE", "Edit Coordinate or Pcode");

  // The keys every desktop program answers, shown beside the menu items.
  NewItem->setShortcut(QKeySequence::New);
  OpenItem->setShortcut(QKeySequence::Open);
  SaveItem->setShortcut(QKeySequence::Save);
  SaveAsItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  PrintItem->setShortcut(QKeySequence::Print);
  ExitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  ContentsItem->setShortcut(QKeySequence(Qt::Key_F1));

  QStyle* s = style();
  NewItem->setIcon(s->standardIcon(QStyle::SP_FileIcon));
  OpenItem->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
  SaveItem->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
  ExitItem->setIcon(s->standardIcon(QStyle::SP_DialogCloseButton));
}

QAction* TMainForm::Action(const char* name) const {
  return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void TMainForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  FileMenu = bar->addMenu(QStringLiteral("&File"));
  FileMenu->setObjectName(QStringLiteral("FileMenu"));
  FileMenu->addActions({NewItem, OpenItem, SaveItem, SaveAsItem});
  FileMenu->addSeparator();
  FileMenu->addAction(PrintItem);
  FileMenu->addAction(DataDirItem);
  FileMenu->addSeparator();
  FileMenu->addAction(ExitItem);

  CommMenu = bar->addMenu(QStringLiteral("Co&mm"));
  CommMenu->setObjectName(QStringLiteral("CommMenu"));
  DownloadMenu = CommMenu->addMenu(QStringLiteral("&Download"));
  DownloadMenu->setObjectName(QStringLiteral("DownloadMenu"));
  DownloadMenu->addActions(downloadActions_);
  UploadMenu = CommMenu->addMenu(QStringLiteral("&Upload"));
  UploadMenu->setObjectName(QStringLiteral("UploadMenu"));
  UploadMenu->addActions(uploadActions_);

  ConversionMenu = bar->addMenu(QStringLiteral("Con&version"));
  ConversionMenu->setObjectName(QStringLiteral("ConversionMenu"));
  ConversionMenu->addActions(conversionActions_);

  HelpMenu = bar->addMenu(QStringLiteral("&Help"));
  HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
  HelpMenu->addActions({ContentsItem, AboutItem});
}

void TMainForm::BuildLayout() {
  auto* central = new QWidget(this);
  auto* tools = new QHBoxLayout;
  tools->setSpacing(2);
  // Groups: file, download, upload.
  QList<QAction*> groups[3] = {{NewItem, OpenItem, SaveItem, ExitItem}};
  for (const DownloadFamily& f : DownloadFamilies())
    if (f.menu.toolMark) groups[1].push_back(Action(f.menu.name));
  for (const UploadFamily& f : UploadFamilies())
    if (f.menu.toolMark) groups[2].push_back(Action(f.menu.name));
  for (const QList<QAction*>& group : groups) {
    if (group.empty()) continue;
    if (!ToolButtons.empty()) tools->addSpacing(14);
    for (QAction* a : group) {
      auto* b = new QToolButton(central);
      b->setObjectName(a->objectName() + QStringLiteral("Button"));
      b->setDefaultAction(a);
      b->setIconSize(QSize(kIconSize, kIconSize));
      b->setAutoRaise(true);
      tools->addWidget(b);
      ToolButtons.push_back(b);
    }
  }
  tools->addStretch();

  FileLabel = new QLabel(QStringLiteral("File: "), central);
  FileLabel->setObjectName(QStringLiteral("FileLabel"));
  CurrFilePass = new QLabel(QStringLiteral("(unsaved)"), central);
  CurrFilePass->setObjectName(QStringLiteral("CurrFilePass"));
  CurrFilePass->setTextFormat(Qt::PlainText);
  CurrFilePass->setFrameShape(QFrame::StyledPanel);
  CurrFilePass->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  EditModeButton = new QToolButton(central);
  EditModeButton->setObjectName(QStringLiteral("EditModeButton"));
  EditModeButton->setDefaultAction(EditButton);
  EditModeButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(FileLabel);
  fileRow->addWidget(CurrFilePass, 1);
  fileRow->addSpacing(8);
  fileRow->addWidget(EditModeButton);

  DataMemo1 = new DataMemo(central);
  DataMemo1->SetFileLabelWidget(CurrFilePass);

  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->addLayout(tools);
  layout->addLayout(fileRow);
  layout->addWidget(DataMemo1, 1);
  setCentralWidget(central);
}

void TMainForm::ConnectCommands() {
  connect(NewItem, &QAction::triggered, this, [this] { logic_->New(); });
  connect(OpenItem, &QAction::triggered, this, [this] { logic_->Open(); });
  connect(SaveItem, &QAction::triggered, this, [this] { logic_->Save(); });
  connect(SaveAsItem, &QAction::triggered, this, [this] { logic_->SaveAs(); });
  connect(DataDirItem, &QAction::triggered, this, [this] { logic_->DataDir(); });
  connect(ExitItem, &QAction::triggered, this, &QWidget::close);
  connect(ContentsItem, &QAction::triggered, this, &TMainForm::HelpContents);
  connect(AboutItem, &QAction::triggered, this, [this] { AboutBox->exec(); });
}

void TMainForm::SetBuilt(QAction* action, bool built) {
  if (built) {
    built_.insert(action);
  } else {
    built_.remove(action);
  }
  UpdateEnabled();
}

void TMainForm::Wire(QAction* action, std::function<void()> command) {
  connect(action, &QAction::triggered, this, [command = std::move(command)] { command(); });
  SetBuilt(action);
}

void TMainForm::SetBusy(bool busy) {
  busy_ = busy;
  UpdateEnabled();
}

void TMainForm::UpdateEnabled() {
  for (QMenu* m : {FileMenu, CommMenu, ConversionMenu, HelpMenu})
    m->menuAction()->setEnabled(!busy_);
  for (QAction* a : Commands()) a->setEnabled(!busy_ && built_.contains(a));
  DataMemo1->setEnabled(!busy_);
}

void TMainForm::HelpContents() {
  const QFileInfo help(helpFile_);
  if (!help.isFile()) {
    logic_->ShowMessage("The Kavex manual was not found: " +
                        QFile::encodeName(help.absoluteFilePath()).toStdString());
    return;
  }
  if (!HelpForm) HelpForm = new THelpForm(this);
  HelpForm->ShowPage(help.absoluteFilePath());
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // A command is running: it owns the data until it ends.
  if (busy_ || !logic_->Close(paths_)) {
    event->ignore();
    return;
  }
  event->accept();
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (centred_) return;
  centred_ = true;
  if (const QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

}  // namespace kavex
