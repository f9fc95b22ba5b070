#include "ulvo/gui/ctransfer_view.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ulvo/gui/ctransfer_prop_sheet.h"
#include "ulvo/gui/line_pane.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/platform/port_permission.h"
#include "ulvo/transfer/transfer_codes.h"

namespace ulvo {

namespace tt = transfer_texts;

namespace {

// Where the per-user store keeps whether the "Line" pane was open.
constexpr const char* kPaneSection = "Transfer";
constexpr const char* kPaneKey = "LinePaneOpen";
// The adapter last used, found again by its serial number under another device name.
constexpr const char* kPortKey = "Port";
constexpr const char* kPortSerialKey = "PortSerial";

class QtTransferPrompts : public TransferFormPrompts {
 public:
  explicit QtTransferPrompts(QWidget* parent) : parent_(parent) {}
  void ShowInfo(const std::string& text) override {
    QMessageBox::information(parent_, QStringLiteral("ULVO"), QString::fromStdString(text));
  }
  bool AskYesNo(const std::string& text) override {
    return QMessageBox::question(parent_, QStringLiteral("ULVO"), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  }

 private:
  QWidget* parent_;
};

std::string LocalPath(const QString& text) {
  return QFile::encodeName(text).toStdString();
}

QString ShownPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// Ampersands of a caption stay visible in a plain label.
QLabel* NewLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

CTransferDoc::CTransferDoc(TransferRunner::DeviceFactory factory, QObject* parent, Clock* clock)
    : QObject(parent), runner_(std::move(factory), nullptr, clock) {
  runner_.SetTrace(&trace_);
}

CTransferView::CTransferView(TaskContext context, CTransferDoc& doc, const PortProbe& ports,
                             QWidget* parent)
    : QWidget(parent), context_(std::move(context)), doc_(doc) {
  setObjectName(QStringLiteral("CTransferView"));
  ownPrompts_ = std::make_unique<QtTransferPrompts>(this);
  prompts_ = ownPrompts_.get();
  static std::vector<CInstrument> noInstruments;
  static MemoryProfileStore noStore;
  form_ = std::make_unique<TransferForm>(
      context_.instruments ? *context_.instruments : noInstruments,
      context_.profile ? *context_.profile : noStore,
      [this](const TransferText& t) { return context_.Text(t.key, t.text); },
      static_cast<TransferFormPrompts&>(*this));
  form_->SetDataFolder(context_.dataFolder);

  chooseFile_ = [this](bool save, const QString& title, const QString& start) {
    QFileDialog::Options options;
    return save ? QFileDialog::getSaveFileName(this, title, start, QString(), nullptr, options)
                : QFileDialog::getOpenFileName(this, title, start, QString(), nullptr, options);
  };

  actionBox_ = new QGroupBox(this);
  sendButton_ = new QRadioButton(actionBox_);
  sendButton_->setObjectName(QStringLiteral("send"));
  receiveButton_ = new QRadioButton(actionBox_);
  receiveButton_->setObjectName(QStringLiteral("receive"));
  auto* directions = new QButtonGroup(this);
  directions->addButton(sendButton_, kSendButtonId);
  directions->addButton(receiveButton_, kReceiveButtonId);
  auto* actionLayout = new QVBoxLayout(actionBox_);
  actionLayout->addWidget(sendButton_);
  actionLayout->addWidget(receiveButton_);

  instrumentBox_ = new QGroupBox(this);
  instrumentLabel_ = NewLabel(instrumentBox_, "instrumentLabel");
  instrumentCombo_ = new QComboBox(instrumentBox_);
  instrumentCombo_->setObjectName(QStringLiteral("instrument"));
  optionLabel_ = NewLabel(instrumentBox_, "optionLabel");
  optionCombo_ = new QComboBox(instrumentBox_);
  optionCombo_->setObjectName(QStringLiteral("option"));
  instrumentLabel_->setBuddy(instrumentCombo_);
  optionLabel_->setBuddy(optionCombo_);
  auto* instrumentLayout = new QGridLayout(instrumentBox_);
  instrumentLayout->addWidget(instrumentLabel_, 0, 0);
  instrumentLayout->addWidget(instrumentCombo_, 1, 0);
  instrumentLayout->addWidget(optionLabel_, 2, 0);
  instrumentLayout->addWidget(optionCombo_, 3, 0);

  computerBox_ = new QGroupBox(this);
  fileLabel_ = NewLabel(computerBox_, "fileLabel");
  fileEdit_ = new QLineEdit(computerBox_);
  fileEdit_->setObjectName(QStringLiteral("file"));
  browseButton_ = new QPushButton(QStringLiteral("..."), computerBox_);
  browseButton_->setObjectName(QStringLiteral("browse"));
  browseButton_->setFixedWidth(32);
  portLabel_ = NewLabel(computerBox_, "portLabel");
  portCombo_ = new QComboBox(computerBox_);
  portCombo_->setObjectName(QStringLiteral("port"));
  portCombo_->setEditable(true);  // a device path may be typed
  fileLabel_->setBuddy(fileEdit_);
  portLabel_->setBuddy(portCombo_);
  auto* computerLayout = new QGridLayout(computerBox_);
  computerLayout->addWidget(fileLabel_, 0, 0, 1, 2);
  computerLayout->addWidget(fileEdit_, 1, 0);
  computerLayout->addWidget(browseButton_, 1, 1);
  computerLayout->addWidget(portLabel_, 2, 0, 1, 2);
  computerLayout->addWidget(portCombo_, 3, 0, 1, 2);

  paramsBox_ = new QGroupBox(this);
  softLabel_ = NewLabel(paramsBox_, "softLabel");
  softValue_ = NewLabel(paramsBox_, "softValue");
  hardLabel_ = NewLabel(paramsBox_, "hardLabel");
  hardValue_ = NewLabel(paramsBox_, "hardValue");
  formatValue_ = NewLabel(paramsBox_, "formatValue");
  lineValue_ = NewLabel(paramsBox_, "lineValue");
  paramsButton_ = new QPushButton(QStringLiteral("..."), paramsBox_);
  paramsButton_->setObjectName(QStringLiteral("parameters"));
  paramsButton_->setFixedWidth(32);
  auto* paramsLayout = new QGridLayout(paramsBox_);
  paramsLayout->addWidget(lineValue_, 0, 0);
  paramsLayout->addWidget(formatValue_, 1, 0);
  paramsLayout->addWidget(softLabel_, 0, 1);
  paramsLayout->addWidget(softValue_, 0, 2);
  paramsLayout->addWidget(hardLabel_, 1, 1);
  paramsLayout->addWidget(hardValue_, 1, 2);
  paramsLayout->addWidget(paramsButton_, 0, 3, 2, 1);
  paramsLayout->setColumnStretch(0, 1);
  paramsLayout->setColumnStretch(2, 1);

  statusBox_ = new QGroupBox(this);
  progressLabel_ = NewLabel(statusBox_, "progressLabel");
  progress_ = new QProgressBar(statusBox_);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  bytesLabel_ = NewLabel(statusBox_, "bytesLabel");
  bytesValue_ = NewLabel(statusBox_, "bytes");
  bytesValue_->setText(QStringLiteral("0"));
  messagesLabel_ = NewLabel(statusBox_, "messagesLabel");
  messages_ = NewLabel(statusBox_, "messages");
  messages_->setWordWrap(true);
  messages_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  messages_->setFrameShape(QFrame::StyledPanel);
  messages_->setTextFormat(Qt::PlainText);
  messages_->setMinimumHeight(64);
  auto* statusLayout = new QGridLayout(statusBox_);
  statusLayout->addWidget(progressLabel_, 0, 0);
  statusLayout->addWidget(progress_, 0, 1);
  statusLayout->addWidget(bytesLabel_, 1, 0);
  statusLayout->addWidget(bytesValue_, 1, 1);
  statusLayout->addWidget(messagesLabel_, 2, 0, 1, 2);
  statusLayout->addWidget(messages_, 3, 0, 1, 2);
  statusLayout->setRowStretch(3, 1);

  helpButton_ = new QPushButton(this);
  helpButton_->setObjectName(QStringLiteral("help"));
  nextButton_ = new QPushButton(this);
  nextButton_->setObjectName(QStringLiteral("next"));
  nextButton_->setDefault(true);
  closeButton_ = new QPushButton(this);
  closeButton_->setObjectName(QStringLiteral("close"));

  // Two columns of one width, whatever the names in the lists: a long option name is
  // shortened in its list's field and shown whole when the list opens.
  for (QComboBox* combo : {instrumentCombo_, optionCombo_, portCombo_}) {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(8);
  }
  for (QGroupBox* box : {instrumentBox_, computerBox_})
    box->setSizePolicy(QSizePolicy::Ignored, box->sizePolicy().verticalPolicy());
  auto* top = new QHBoxLayout;
  top->addWidget(instrumentBox_, 1);
  top->addWidget(computerBox_, 1);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(helpButton_);
  buttons->addStretch(1);
  buttons->addWidget(nextButton_);
  buttons->addWidget(closeButton_);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(statusBox_, 1);
  bottom->addLayout(buttons);
  // Everything has to fit the fixed 600 x 500 window.
  for (QGroupBox* box : {actionBox_, instrumentBox_, computerBox_, paramsBox_, statusBox_}) {
    box->layout()->setContentsMargins(8, 4, 8, 4);
    box->layout()->setSpacing(3);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 8);
  layout->setSpacing(4);
  layout->addWidget(actionBox_);
  layout->addLayout(top);
  layout->addWidget(paramsBox_);
  layout->addLayout(bottom, 1);
  linePane_ = new LinePane(
      doc_.Trace(), [this](const char* key, const char* text) { return context_.QText(key, text); },
      this);
  layout->addWidget(linePane_);
  // The form keeps its height; what the open pane adds goes to the pane.
  const auto stretch = [layout, bottom, this](bool open) {
    layout->setStretchFactor(bottom, open ? 0 : 1);
    layout->setStretchFactor(linePane_, open ? 1 : 0);
  };
  if (context_.profile)
    linePane_->SetOpen(context_.profile->GetNumber(kPaneSection, kPaneKey).value_or(0) != 0);
  stretch(linePane_->IsOpen());
  linePane_->onOpenChanged = [this, stretch](bool open) {
    if (context_.profile) context_.profile->SetNumber(kPaneSection, kPaneKey, open ? 1 : 0);
    stretch(open);
    FitWindow();
  };

  Translate();

  // Opening the form.
  const std::string freePorts = CULVOCheckPort(ports).ListFreePorts();
  if (!freePorts.empty())
    for (const QString& p : QString::fromStdString(freePorts).split(QLatin1Char(';')))
      portCombo_->addItem(p);
  portCombo_->setCurrentIndex(portCombo_->count() > 0 ? 0 : -1);
  for (const std::string& name : form_->InstrumentNames())
    instrumentCombo_->addItem(QString::fromStdString(name));
  form_->Open();
  filling_ = true;
  instrumentCombo_->setCurrentIndex(form_->InstrumentIndex());
  (form_->Direction() == kDirectionReceive ? receiveButton_ : sendButton_)->setChecked(true);
  filling_ = false;
  FillOptions();
  Refresh();

  connect(directions, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked && !filling_) OnDirection();
  });
  connect(instrumentCombo_, &QComboBox::currentIndexChanged, this, &CTransferView::OnInstrument);
  connect(optionCombo_, &QComboBox::currentIndexChanged, this, &CTransferView::OnOption);
  connect(fileEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    form_->FileNameEdited(LocalPath(text));
    Refresh();
  });
  connect(browseButton_, &QPushButton::clicked, this, &CTransferView::OnBrowse);
  connect(paramsButton_, &QPushButton::clicked, this, &CTransferView::OnParameters);
  connect(nextButton_, &QPushButton::clicked, this, &CTransferView::OnNext);
  connect(closeButton_, &QPushButton::clicked, this, &CTransferView::CloseRequested);
  connect(helpButton_, &QPushButton::clicked, this, [this] {
    if (!context_.showHelp) return;
    // The task's own page; a program folder without it has the page of the document type.
    const std::filesystem::path help = context_.programFolder / "help";
    std::error_code ec;
    context_.showHelp(std::filesystem::exists(help / "transfer.htm", ec) ? help / "transfer.htm"
                                                                         : help / "H0000402.htm");
  });
  connect(&doc_.Runner(), &TransferRunner::Updated, this, &CTransferView::OnUpdated);
  connect(&doc_.Runner(), &TransferRunner::Finished, this, &CTransferView::OnFinished);
}

CTransferView::~CTransferView() {
  // The document may outlive the view by a moment; its last reports go nowhere.
  doc_.Runner().disconnect(this);
}

void CTransferView::SetPrompts(TransferFormPrompts* prompts) {
  prompts_ = prompts ? prompts : ownPrompts_.get();
}

void CTransferView::ShowInfo(const std::string& text) {
  prompts_->ShowInfo(text);
}

bool CTransferView::AskYesNo(const std::string& text) {
  return prompts_->AskYesNo(text);
}

void CTransferView::Translate() {
  const auto t = [this](const TransferText& text) { return context_.QText(text); };
  setWindowTitle(t(tt::kTitle));
  actionBox_->setTitle(t(tt::kGroupAction));
  sendButton_->setText(t(tt::kSend));
  receiveButton_->setText(t(tt::kReceive));
  instrumentBox_->setTitle(t(tt::kGroupInstrument));
  instrumentLabel_->setText(t(tt::kInstrumentType));
  optionLabel_->setText(t(tt::kOption));
  computerBox_->setTitle(t(tt::kGroupComputer));
  portLabel_->setText(t(tt::kComPort));
  paramsBox_->setTitle(t(tt::kGroupParams));
  softLabel_->setText(t(tt::kSoftHandshake));
  hardLabel_->setText(t(tt::kHardHandshake));
  helpButton_->setText(t(tt::kHelp));
  closeButton_->setText(t(tt::kClose));
  statusBox_->setTitle(t(tt::kGroupStatus));
  progressLabel_->setText(t(tt::kProgress));
  bytesLabel_->setText(t(tt::kBytes));
  messagesLabel_->setText(t(tt::kMessages));
}

void CTransferView::FillOptions() {
  filling_ = true;
  optionCombo_->clear();
  for (const std::string& name : form_->OptionNames())
    optionCombo_->addItem(QString::fromStdString(name));
  optionCombo_->setCurrentIndex(form_->OptionIndex());
  filling_ = false;
}

void CTransferView::Refresh() {
  const bool receive = form_->Direction() == kDirectionReceive;
  fileLabel_->setText(context_.QText(receive ? tt::kFileSaveAs : tt::kFileSend));
  nextButton_->setText(
      context_.QText(form_->Mode() == TransferForm::ButtonMode::kStart ? tt::kStart : tt::kNext));
  const TransferSummary s = form_->Summary();
  lineValue_->setText(QString::fromStdString(s.lineSettings));
  formatValue_->setText(QString::fromStdString(s.dataFormat));
  softValue_->setText(QString::fromStdString(s.softHandshake));
  hardValue_->setText(QString::fromStdString(s.hardHandshake));
  QString messages = QString::fromStdString(form_->MessageText());
  for (const QString& note : {failureNote_, fileNote_})
    if (!note.isEmpty()) messages += (messages.isEmpty() ? "" : "\n") + note;
  messages_->setText(messages);
  bytesValue_->setText(QString::number(form_->Bytes()));
  const bool running = form_->Running();
  // A receive has no known end: the bar runs as a busy indicator while bytes flow.
  progress_->setRange(0, running && runningDirection_ == kDirectionReceive ? 0 : 100);
  progress_->setValue(form_->Progress());
  nextButton_->setEnabled(!running);
  closeButton_->setEnabled(!running);
  for (QWidget* w :
       std::initializer_list<QWidget*>{actionBox_, instrumentBox_, computerBox_, paramsButton_})
    w->setEnabled(!running);
}

void CTransferView::OnDirection() {
  form_->DirectionChanged(receiveButton_->isChecked() ? kDirectionReceive : kDirectionSend);
  FillOptions();
  Refresh();
}

void CTransferView::OnInstrument(int index) {
  if (filling_) return;
  form_->InstrumentChanged(index);
  FillOptions();
  Refresh();
}

void CTransferView::OnOption(int index) {
  if (filling_) return;
  form_->OptionChanged(index);
  Refresh();
}

void CTransferView::OnBrowse() {
  const bool save = form_->Direction() == kDirectionReceive;
  const QString start = QDir::homePath();
  const QString chosen =
      chooseFile_(save, context_.QText(save ? tt::kSelectDownload : tt::kSelectUpload), start);
  if (chosen.isEmpty()) return;
  fileEdit_->setText(chosen);
  form_->FileChosenInDialog(LocalPath(chosen));
  Refresh();
}

void CTransferView::OnParameters() {
  CInstrument* instrument = form_->Instrument();
  if (!instrument) return;
  CTransferPropSheet sheet(*instrument, form_->Direction(), context_, this);
  if (!doc_.Runner().Running())
    sheet.SetDetect({ChosenPort(), doc_.Runner().Factory(), doc_.Runner().LineClock()});
  if (sheet.exec() != QDialog::Accepted) return;
  form_->ApplySheetResult(sheet.Result());
  Refresh();
}

std::string CTransferView::ChosenPort() const {
  const QString text = portCombo_->currentText();
  for (int i = 0; i < portCombo_->count(); ++i)
    if (portCombo_->itemText(i) == text && portCombo_->itemData(i).isValid())
      return portCombo_->itemData(i).toString().toStdString();
  return LocalPath(text.trimmed());
}

void CTransferView::SetPortLister(const PortLister* lister) {
  portLister_ = lister;
  if (!portLister_) {
    if (portPoll_) portPoll_->stop();
    return;
  }
  RefreshPorts();
  if (context_.profile) {
    const std::string device = FollowAdapter(
        portLister_->Ports(), context_.profile->GetText(kPaneSection, kPortKey).value_or(""),
        context_.profile->GetText(kPaneSection, kPortSerialKey).value_or(""));
    const int at = portCombo_->findData(ShownPath(device));
    if (at >= 0) portCombo_->setCurrentIndex(at);
  }
  if (!portPoll_) {
    portPoll_ = new QTimer(this);
    portPoll_->setInterval(1000);
    // Rebuilt only when the ports changed: an open list or a half-typed path stays as it is.
    connect(portPoll_, &QTimer::timeout, this, [this] {
      if (portLister_ && portLister_->Ports() != listedPorts_) RefreshPorts();
    });
  }
  portPoll_->start();
}

void CTransferView::RefreshPorts() {
  if (!portLister_) return;
  const std::vector<PortInfo> ports = portLister_->Ports();
  const std::string chosen = ChosenPort();
  auto listed = [](const std::vector<std::string>& in, const std::string& d) {
    return std::find(in.begin(), in.end(), d) != in.end();
  };
  std::vector<std::string> now;
  for (const PortInfo& p : ports) now.push_back(p.device);
  // The ports the window opened with stay unless the system named them and they went away;
  // ports the system names from now on are added.
  std::vector<std::string> devices;
  for (int i = 0; i < portCombo_->count(); ++i) {
    const QVariant item = portCombo_->itemData(i);
    const std::string d =
        item.isValid() ? item.toString().toStdString() : LocalPath(portCombo_->itemText(i));
    if (!listed(listedDevices_, d) || listed(now, d)) devices.push_back(d);
  }
  for (const std::string& d : now)
    if (!listed(devices, d)) devices.push_back(d);
  listedDevices_ = now;
  listedPorts_ = ports;
  const QSignalBlocker block(portCombo_);
  portCombo_->clear();
  for (const std::string& d : devices) {
    std::string label = d;
    for (const PortInfo& p : ports)
      if (p.device == d) label = PortLabel(p);
    portCombo_->addItem(QString::fromStdString(label), ShownPath(d));
  }
  const int at = portCombo_->findData(ShownPath(chosen));
  if (at >= 0)
    portCombo_->setCurrentIndex(at);
  else
    portCombo_->setEditText(ShownPath(chosen));
}

void CTransferView::OnNext() {
  form_->PortChosen(ChosenPort());
  if (portLister_ && context_.profile && !form_->Port().empty()) {
    context_.profile->SetText(kPaneSection, kPortKey, form_->Port());
    context_.profile->SetText(kPaneSection, kPortSerialKey,
                              SerialNumberOf(portLister_->Ports(), form_->Port()));
  }
  runningDirection_ = form_->Direction();
  const TransferForm::NextResult r = form_->NextOrStart();
  if (r == TransferForm::NextResult::kStartTransfer) {
    runningFile_ = form_->FilePath();
    fileNote_.clear();
    failureNote_.clear();
    doc_.Runner().Start(*form_->Instrument(), form_->Port(), form_->Direction(), runningFile_);
  }
  Refresh();
}

void CTransferView::OnUpdated(const EngineUpdate& update) {
  form_->Update(update);
  Refresh();
}

void CTransferView::OnFinished(quint32 result) {
  const bool stopped = doc_.Runner().StopRequested();
  form_->TransferEnded(result == 0 && !stopped);
  const TransferOutcome& file = doc_.Runner().FileOutcome();
  const bool receive = runningDirection_ == kDirectionReceive;
  // A receive that got nothing leaves the file as it was: it is no new conversion source.
  const bool nothing = receive && !file.written && file.fileProblem.empty();
  if (receive && result == 0 && !stopped && !nothing && onReceived)
    onReceived(form_->OptionFormat(), runningFile_);
  // Why it failed, as ulvo-cli says it. A stop the user asked for needs no reason, and a
  // file that cannot be written has its own note below.
  if (!stopped && result != kErrorWriteFile)
    for (const std::string& line : file.failure)
      failureNote_ += (failureNote_.isEmpty() ? "" : "\n") + ShownPath(line);
  std::string keptIn = runningFile_;
  QString fallbackMessage;
  std::error_code ec;
  if (nothing) {
    fileNote_ = std::filesystem::exists(runningFile_, ec)
                    ? context_.QText(tt::kNothingReceivedKept).arg(ShownPath(runningFile_))
                    : context_.QText(tt::kNothingReceived);
  } else if (receive) {
    const QString problem = ShownPath(file.fileProblem);
    const QString bytes = QString::number(file.bytesWritten);
    if (!file.fallbackFile.empty()) {
      keptIn = file.fallbackFile.string();
      fileNote_ = context_.QText(tt::kPartialFile).arg(bytes, ShownPath(keptIn));
      fallbackMessage = context_.QText(tt::kFallbackFile).arg(problem, bytes, ShownPath(keptIn));
    } else if (!file.fileProblem.empty()) {
      fileNote_ = context_.QText(tt::kFileNotWritten).arg(problem);
    } else if (file.written && (result != 0 || stopped)) {
      fileNote_ = context_.QText(tt::kPartialFile).arg(bytes, ShownPath(runningFile_));
    } else if (file.written) {
      fileNote_ = context_.QText(tt::kReceivedInto).arg(ShownPath(runningFile_));
    }
  }
  Refresh();
  // The data did not go where the user asked: say so at once, not only in the status box.
  if (!fallbackMessage.isEmpty()) ShowInfo(fallbackMessage.toStdString());
  // A port refused for lack of permission: say how to get it.
  if (result == kErrorPortNotOpened) {
    const std::string hint = PortPermissionText(
        [this](const TextId& id) { return context_.Text(id.key, id.defaultText); }, form_->Port(),
        CheckPortAccess(form_->Port()));
    if (!hint.empty()) ShowInfo(hint);
  }
  if (stopped && closeAfterStop_) {
    const TransferText& text = receive && !nothing ? tt::kStoppedReceive : tt::kStoppedSend;
    QString message = context_.QText(text);
    message.replace(QStringLiteral("%s"), ShownPath(keptIn));
    ShowInfo(message.toStdString());
    form_->Close();
    emit CloseRequested();
  }
}

bool CTransferView::CanClose() {
  if (doc_.Runner().Running()) {
    if (closeAfterStop_) return false;  // already stopping
    if (!AskYesNo(context_.Text(tt::kStopTransfer.key, tt::kStopTransfer.text))) return false;
    closeAfterStop_ = true;
    setProperty(kClosesWhenStoppedProperty, true);
    doc_.Runner().Stop();
    return false;
  }
  form_->Close();
  return true;
}

void CTransferView::closeEvent(QCloseEvent* event) {
  if (CanClose())
    event->accept();
  else
    event->ignore();
}

bool CTransferView::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) {
    if (auto* window = qobject_cast<QMdiSubWindow*>(parentWidget())) {
      CTransferFrame::Attach(window, FrameSize());
      if (QMdiArea* area = window->mdiArea(); area && area != watchedArea_) {
        if (watchedArea_) watchedArea_->removeEventFilter(this);
        watchedArea_ = area;
        area->installEventFilter(this);
      }
    }
  } else if (event->type() == QEvent::Show) {
    FitWindow();
  }
  return QWidget::event(event);
}

bool CTransferView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == watchedArea_ && event->type() == QEvent::Resize) FitWindow();
  return QWidget::eventFilter(watched, event);
}

QSize CTransferView::FrameSize() const {
  // The form's own 600 x 500 and the pane's toggle under it; the open pane takes what the
  // main window has room for, up to 196 more, and scrolls within it. Only when there is not
  // even room for its text's few lines and its buttons does the window reach past the area.
  constexpr int kClosed = 524, kOpen = 720;
  if (!linePane_->IsOpen()) return {600, kClosed};
  const auto* window = qobject_cast<const QMdiSubWindow*>(parentWidget());
  const QMdiArea* area = window ? window->mdiArea() : nullptr;
  if (!area) return {600, kOpen};
  const int least =
      kClosed + linePane_->minimumSizeHint().height() - linePane_->Toggle()->sizeHint().height();
  return {600, std::clamp(area->contentsRect().height(), least, std::max(least, kOpen))};
}

void CTransferView::FitWindow() {
  auto* window = qobject_cast<QMdiSubWindow*>(parentWidget());
  if (!window) return;
  const QSize size = FrameSize();
  if (window->size() != size) window->setFixedSize(size);
  // The bottom of the window stays in sight: Start, Hex and "Save trace..." are down there.
  if (const QMdiArea* area = window->mdiArea()) {
    const int room = area->contentsRect().height();
    if (window->y() + size.height() > room)
      window->move(window->x(), std::max(0, room - size.height()));
  }
}

void CTransferFrame::Attach(QMdiSubWindow* window, QSize size) {
  if (window->findChild<CTransferFrame*>(QString(), Qt::FindDirectChildrenOnly)) return;
  auto* frame = new CTransferFrame(window);
  window->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  window->setFixedSize(size);
  window->installEventFilter(frame);
}

bool CTransferFrame::eventFilter(QObject* watched, QEvent* event) {
  // Requests to minimize or maximize are ignored: the form has one size.
  if (event->type() == QEvent::WindowStateChange) {
    auto* window = static_cast<QWidget*>(watched);
    if (window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) {
      window->setWindowState(window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ulvo
