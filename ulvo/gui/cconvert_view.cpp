#include "ulvo/gui/cconvert_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <string_view>

#include "ulvo/convert/convert_settings.h"
#include "ulvo/convert/identify.h"
#include "ulvo/engine/text_codec.h"
#include "ulvo/gui/gis_dialog.h"
#include "ulvo/gui/id_name_combo.h"

namespace ulvo {

namespace {

std::string LocalPath(const QString& text) {
  return QFile::encodeName(text).toStdString();
}

QString ShownPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

class QtConversionPrompts : public ConversionPrompts {
 public:
  QtConversionPrompts(QWidget* parent, const TaskContext& context)
      : parent_(parent), context_(context) {}
  void ShowMessage(const Message& message) override {
    QString text = Text(message);
    // Why, under the message: the file and the system's reason.
    if (!message.detail.empty()) text += QStringLiteral("\n\n") + ShownPath(message.detail);
    if (std::string_view(message.text.key) == kCnvSuccessMsg.key)
      QMessageBox::information(parent_, QStringLiteral("ULVO"), text);
    else
      QMessageBox::warning(parent_, QStringLiteral("ULVO"), text);
  }
  void SetBusy(bool busy) override {
    if (busy)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  }
  // A warning after the success message: the target layout lost or changed values.
  void ShowCheck(const ConversionCheck& check) override {
    const auto t = [this](const TextId& id) { return context_.QText(id.key, id.defaultText); };
    const auto value = [&](const std::string& v) {
      if (v == kNoValue) return t(kCnvCheckNone);
      if (v == "(not written)") return t(kCnvCheckNotWritten);
      return QLatin1Char('"') + QString::fromStdString(v) + QLatin1Char('"');
    };
    QStringList lines;
    if (check.tooWideCount > 0) {
      lines << t(kCnvCheckTooWideHead).arg(check.tooWideCount);
      for (const TooWideValue& v : check.tooWide)
        lines << t(kCnvCheckTooWide)
                     .arg(QString::number(v.record), QString::fromStdString(v.element),
                          QString::fromStdString(BytesToText(v.value)),
                          QString::number(v.value.size()), QString::number(v.width));
      if (check.tooWideCount > check.tooWide.size())
        lines << t(kCnvCheckMore).arg(check.tooWideCount - check.tooWide.size());
    }
    const size_t readBackCount = check.count - check.tooWideCount;
    if (readBackCount > 0) {
      if (!lines.isEmpty()) lines << QString();
      lines << t(kCnvCheckHead).arg(readBackCount);
    }
    for (const CheckDifference& d : check.first)
      lines << t(kCnvCheckLine)
                   .arg(QString::number(d.record), QString::fromStdString(d.element),
                        value(d.written), value(d.readBack));
    const size_t shown = check.first.size() + (check.readBack ? 1 : 0);
    if (readBackCount > shown) lines << t(kCnvCheckMore).arg(readBackCount - shown);
    if (check.readBack) {
      const QString why = QString::fromStdString(DescribeParseFailure(*check.readBack));
      lines << (check.readBackRecord
                    ? t(kCnvCheckUnread).arg(QString::number(check.readBackRecord), why)
                    : t(kCnvCheckUnreadAll).arg(why));
    }
    QMessageBox::warning(parent_, QStringLiteral("ULVO"), lines.join(QLatin1Char('\n')));
  }
  bool AskReplace(const Message& question) override {
    return QMessageBox::question(parent_, QStringLiteral("ULVO"), Text(question),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  }

 private:
  QString Text(const Message& message) const {
    return QString::fromStdString(
        FormatMessage(context_.Text(message.text.key, message.text.defaultText), message.argument));
  }
  QWidget* parent_;
  const TaskContext& context_;
};

QLabel* Label(QWidget* parent, int id) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::number(id));
  return label;
}

}  // namespace

bool EventLoopProcessRunner::RunAndWait(const std::string& program, const std::string& argument) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  QEventLoop loop;
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
    if (e == QProcess::FailedToStart) loop.quit();
  });
  process.start(QFile::decodeName(QByteArray::fromStdString(program)),
                QStringList{QFile::decodeName(QByteArray::fromStdString(argument))});
  if (process.state() == QProcess::NotRunning && process.error() == QProcess::FailedToStart)
    return false;
  if (process.state() != QProcess::NotRunning) loop.exec(QEventLoop::ExcludeUserInputEvents);
  return process.error() != QProcess::FailedToStart;
}

CConvertView::CConvertView(TaskContext context, QWidget* parent)
    : QWidget(parent), context_(std::move(context)) {
  setObjectName(QStringLiteral("CConvertView"));
  ownPrompts_ = std::make_unique<QtConversionPrompts>(this, context_);
  prompts_ = ownPrompts_.get();
  ownGisPrompts_ = std::make_unique<QtGisPrompts>(this, context_);
  gisPrompts_ = ownGisPrompts_.get();
  chooseFile_ = [this](bool save, const QString& start) {
    // No filter and no default extension.
    return save ? QFileDialog::getSaveFileName(this, QString(), start)
                : QFileDialog::getOpenFileName(this, QString(), start);
  };

  const auto side = [this](QGroupBox*& box, int boxId, QLabel*& typeLabel, int typeLabelId,
                           IdNameCombo*& type, int typeId, QLabel*& formatLabel, int formatLabelId,
                           QComboBox*& format, int formatId, QLabel*& fileLabel, int fileLabelId,
                           QLineEdit*& file, int fileId, QPushButton*& browse, int browseId) {
    box = new QGroupBox(this);
    box->setObjectName(QString::number(boxId));
    typeLabel = Label(box, typeLabelId);
    type = new IdNameCombo(box);
    type->setObjectName(QString::number(typeId));
    type->SetSorted(true);
    formatLabel = Label(box, formatLabelId);
    format = new QComboBox(box);
    format->setObjectName(QString::number(formatId));
    fileLabel = Label(box, fileLabelId);
    file = new QLineEdit(box);
    file->setObjectName(QString::number(fileId));
    browse = new QPushButton(QStringLiteral("..."), box);
    browse->setObjectName(QString::number(browseId));
    browse->setFixedWidth(32);
    typeLabel->setBuddy(type);
    formatLabel->setBuddy(format);
    fileLabel->setBuddy(file);
    auto* grid = new QGridLayout(box);
    grid->addWidget(typeLabel, 0, 0);
    grid->addWidget(type, 0, 1, 1, 2);
    grid->addWidget(formatLabel, 1, 0);
    grid->addWidget(format, 1, 1, 1, 2);
    grid->addWidget(fileLabel, 2, 0);
    grid->addWidget(file, 2, 1);
    grid->addWidget(browse, 2, 2);
    grid->setColumnStretch(1, 1);
  };
  side(fromBox_, 2008, fromTypeLabel_, 2015, fromType_, 2014, fromFormatLabel_, 2013, fromFormat_,
       2002, fromFileLabel_, 2009, fromFile_, 2003, fromBrowse_, 2004);
  // Beside the source format: which format reads the file?
  identify_ = new QPushButton(fromBox_);
  identify_->setObjectName(QStringLiteral("identify"));
  // A GIS file as the source: its points written as the target.
  fromGis_ = new QPushButton(fromBox_);
  fromGis_->setObjectName(QStringLiteral("fromGis"));
  if (auto* grid = qobject_cast<QGridLayout*>(fromBox_->layout())) {
    grid->removeWidget(fromFormat_);
    auto* row = new QHBoxLayout;
    row->addWidget(fromFormat_, 1);
    row->addWidget(identify_);
    row->addWidget(fromGis_);
    grid->addLayout(row, 1, 1, 1, 2);
  }
  setTabOrder(fromFormat_, identify_);
  setTabOrder(identify_, fromGis_);
  setTabOrder(fromGis_, fromFile_);
  side(toBox_, 2011, toTypeLabel_, 2029, toType_, 2028, toFormatLabel_, 2012, toFormat_, 2005,
       toFileLabel_, 2010, toFile_, 2006, toBrowse_, 2007);
  help_ = new QPushButton(this);
  help_->setObjectName(QStringLiteral("2018"));
  plan_ = new QPushButton(this);
  plan_->setObjectName(QStringLiteral("plan"));
  planMenu_ = new QMenu(plan_);
  planSource_ = planMenu_->addAction(QString());
  planTarget_ = planMenu_->addAction(QString());
  plan_->setMenu(planMenu_);
  // Nothing to compare until a conversion has run.
  plan_->setEnabled(false);
  toGis_ = new QPushButton(this);
  toGis_->setObjectName(QStringLiteral("toGis"));
  toGisMenu_ = new QMenu(toGis_);
  toGisSource_ = toGisMenu_->addAction(QString());
  toGisTarget_ = toGisMenu_->addAction(QString());
  toGis_->setMenu(toGisMenu_);
  toGis_->setEnabled(false);
  convert_ = new QPushButton(this);
  convert_->setObjectName(QStringLiteral("2001"));
  convert_->setDefault(true);
  close_ = new QPushButton(this);
  close_->setObjectName(QStringLiteral("2017"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(help_);
  buttons->addStretch(1);
  buttons->addWidget(plan_);
  buttons->addWidget(toGis_);
  buttons->addWidget(convert_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fromBox_);
  layout->addWidget(toBox_);
  layout->addStretch(1);
  layout->addLayout(buttons);
  setMinimumWidth(480);

  SetHelpIdsByName(this);
  Translate();

  const pugi::xml_node settings = context_.settings ? context_.settings() : pugi::xml_node();
  editorCommand_ = ReadEditorCommand(settings);
  const std::vector<IdName> types = ReadIdList(settings, "types", "type");
  fromType_->Fill(types);
  toType_->Fill(types);
  const ConvertSelections stored = ReadConvertSelections(settings);
  RestoreSide(fromType_, fromFormat_, fromFile_, stored.from);
  RestoreSide(toType_, toFormat_, toFile_, stored.to);

  connect(fromType_, &QComboBox::activated, this, &CConvertView::OnSourceType);
  connect(toType_, &QComboBox::activated, this, &CConvertView::OnTargetType);
  connect(fromBrowse_, &QPushButton::clicked, this, [this] { Browse(false); });
  connect(toBrowse_, &QPushButton::clicked, this, [this] { Browse(true); });
  connect(convert_, &QPushButton::clicked, this, &CConvertView::Convert);
  connect(identify_, &QPushButton::clicked, this, &CConvertView::Identify);
  connect(planSource_, &QAction::triggered, this, [this] { OpenPlan(false); });
  connect(planTarget_, &QAction::triggered, this, [this] { OpenPlan(true); });
  connect(toGisSource_, &QAction::triggered, this, [this] { ExportToGis(false); });
  connect(toGisTarget_, &QAction::triggered, this, [this] { ExportToGis(true); });
  connect(fromGis_, &QPushButton::clicked, this, &CConvertView::ImportFromGis);
  present_ = [this](const QString& title, const QString& text, const QString& use) {
    // One line per format, unwrapped so the list reads as a list; long lists scroll.
    QDialog box(this);
    box.setWindowTitle(title);
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setMargin(8);
    auto* scroll = new QScrollArea(&box);
    scroll->setWidget(label);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMinimumSize(label->sizeHint().boundedTo(QSize(720, 360)) + QSize(24, 24));
    auto* answers = new QDialogButtonBox(QDialogButtonBox::Close, &box);
    QPushButton* useButton =
        use.isEmpty() ? nullptr : answers->addButton(use, QDialogButtonBox::AcceptRole);
    if (useButton) useButton->setDefault(true);
    connect(answers, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    connect(answers, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto* boxLayout = new QVBoxLayout(&box);
    boxLayout->addWidget(scroll, 1);
    boxLayout->addWidget(answers);
    return box.exec() == QDialog::Accepted && useButton;
  };
  connect(close_, &QPushButton::clicked, this, &CConvertView::CloseRequested);
  connect(help_, &QPushButton::clicked, this, [this] {
    if (!context_.showHelp) return;
    // The task's own page; a program folder without it has the page of the document type.
    const std::filesystem::path help = context_.programFolder / "help";
    std::error_code ec;
    context_.showHelp(std::filesystem::exists(help / "convert.htm", ec) ? help / "convert.htm"
                                                                        : help / "H0000404.htm");
  });
}

CConvertView::~CConvertView() {
  SaveSelections();
}

void CConvertView::SetPrompts(ConversionPrompts* prompts) {
  prompts_ = prompts ? prompts : ownPrompts_.get();
}

void CConvertView::SetGisPrompts(GisPrompts* prompts) {
  gisPrompts_ = prompts ? prompts : ownGisPrompts_.get();
}

void CConvertView::Translate() {
  const auto t = [this](const char* key, const char* text) { return context_.QText(key, text); };
  setWindowTitle(t(kCnvTitle.key, kCnvTitle.defaultText));
  fromBox_->setTitle(t("IDC_CNV_FROM_BOX", "From"));
  fromTypeLabel_->setText(t("IDC_CNV_FROM_TYPE", "&Type:"));
  fromFormatLabel_->setText(t("IDC_CNV_FROM_FORMAT", "&Format:"));
  fromFileLabel_->setText(t("IDC_CNV_FROM_FILE", "File &name:"));
  toBox_->setTitle(t("IDC_CNV_TO_BOX", "To"));
  toTypeLabel_->setText(t("IDC_CNV_TO_TYPE", "T&ype:"));
  toFormatLabel_->setText(t("IDC_CNV_TO_FORMAT", "F&ormat:"));
  toFileLabel_->setText(t("IDC_CNV_TO_FILE", "File n&ame:"));
  help_->setText(t("IDC_CNV_HELP_BTN", "&Help"));
  convert_->setText(t("IDC_CNV_CONVERT_BTN", "Con&vert"));
  identify_->setText(t(kIdentifyBtn.key, kIdentifyBtn.defaultText));
  plan_->setText(t(kCnvPlanBtn.key, kCnvPlanBtn.defaultText));
  planSource_->setText(t(kCnvPlanSource.key, kCnvPlanSource.defaultText));
  planTarget_->setText(t(kCnvPlanTarget.key, kCnvPlanTarget.defaultText));
  toGis_->setText(t(kCnvToGisBtn.key, kCnvToGisBtn.defaultText));
  toGisSource_->setText(t(kCnvToGisSource.key, kCnvToGisSource.defaultText));
  toGisTarget_->setText(t(kCnvToGisTarget.key, kCnvToGisTarget.defaultText));
  fromGis_->setText(t(kCnvFromGisBtn.key, kCnvFromGisBtn.defaultText));
  close_->setText(t("IDC_CNV_CLOSE_BTN", "&Close"));
}

void CConvertView::FillFormats(QComboBox* list, const std::string& typeId) {
  list->clear();
  if (!context_.formats) return;
  // Already in the lists' order: by name without regard to letter case.
  for (const std::string& n : FormatNamesOfType(*context_.formats, typeId))
    list->addItem(QString::fromStdString(n));
  list->setCurrentIndex(-1);
}

void CConvertView::ReloadFormats() {
  for (auto [type, format] : {std::pair{fromType_, fromFormat_}, std::pair{toType_, toFormat_}}) {
    const QString chosen = format->currentText();
    FillFormats(format, type->SelectedId());
    format->setCurrentIndex(chosen.isEmpty() ? -1 : format->findText(chosen));
  }
}

void CConvertView::OnSourceType() {
  const std::string id = fromType_->SelectedId();
  FillFormats(fromFormat_, id);
  // The target follows the source's type.
  if (!toType_->SelectId(id)) toType_->setCurrentIndex(-1);
  OnTargetType();
}

void CConvertView::OnTargetType() {
  FillFormats(toFormat_, toType_->SelectedId());
}

void CConvertView::Browse(bool target) {
  QLineEdit* field = target ? toFile_ : fromFile_;
  const QString chosen = chooseFile_(target, field->text());
  if (!chosen.isEmpty()) field->setText(chosen);
}

void CConvertView::Convert() {
  if (busy_ || !context_.formats) return;
  ConversionSetup setup;
  setup.programFolder = context_.programFolder;
  setup.editorCommand = editorCommand_;
  setup.runner = runner_;
  setup.prompts = prompts_;
  busy_ = true;
  // The window is disabled while it works, which takes the focus away: it comes back after.
  const QPointer<QWidget> focus = QApplication::focusWidget();
  setEnabled(false);
  const ConvertSelections shown = Shown();
  const bool converted = ConvertFiles(*context_.formats, shown.from.formatName, shown.from.filePath,
                                      shown.to.formatName, shown.to.filePath, setup);
  setEnabled(true);
  if (converted) {
    last_ = shown;
    plan_->setEnabled(true);
    toGis_->setEnabled(true);
    // The Plan window's own Conversion source and target buttons read the settings.
    SaveSelections();
  }
  if (focus && isAncestorOf(focus)) focus->setFocus(Qt::OtherFocusReason);
  busy_ = false;
}

void CConvertView::Identify() {
  if (busy_ || !context_.formats) return;
  const auto t = [this](const TextId& id) { return context_.Text(id.key, id.defaultText); };
  const QString title = QString::fromStdString(t(kIdentifyTitle));
  const std::string input = LocalPath(fromFile_->text());
  if (input.empty()) {
    present_(title, QString::fromStdString(t(kIdentifyNoFile)), QString());
    return;
  }
  busy_ = true;
  Identification found;
  {
    const QPointer<QWidget> focus = QApplication::focusWidget();
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    found = IdentifyFile(*context_.formats, input);
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    if (focus && isAncestorOf(focus)) focus->setFocus(Qt::OtherFocusReason);
  }
  busy_ = false;
  QStringList lines;
  for (const std::string& line : DescribeIdentification(found, input, t)) lines << ShownPath(line);
  const QString use =
      found.whole.empty()
          ? QString()
          : QString::fromStdString(FillArguments(t(kIdentifyUse), {found.whole.front().name}));
  if (!present_(title, lines.join(QLatin1Char('\n')), use) || found.whole.empty()) return;
  // The best format becomes the source, under its own type; the target stays as chosen.
  RestoreSide(fromType_, fromFormat_, fromFile_,
              ConvertSide{found.whole.front().type, found.whole.front().name, input});
}

ConvertSelections CConvertView::Shown() const {
  ConvertSelections s;
  s.from = {fromType_->SelectedId(), fromFormat_->currentText().toStdString(),
            LocalPath(fromFile_->text())};
  s.to = {toType_->SelectedId(), toFormat_->currentText().toStdString(),
          LocalPath(toFile_->text())};
  return s;
}

void CConvertView::SaveSelections() {
  const pugi::xml_node settings = context_.settings ? context_.settings() : pugi::xml_node();
  if (!settings) return;
  WriteConvertSelections(settings, Shown());
}

void CConvertView::OpenPlan(bool target) {
  if (!last_ || !openPlan_) return;
  openPlan_(target ? last_->to : last_->from);
}

void CConvertView::ExportToGis(bool target) {
  if (busy_ || !last_ || !context_.formats) return;
  const ConvertSide& side = target ? last_->to : last_->from;
  const pugi::xml_node settings = context_.settings ? context_.settings() : pugi::xml_node();
  busy_ = true;
  ExportToGisAsked(*context_.formats, settings, side.formatName, side.filePath, *gisPrompts_);
  busy_ = false;
}

void CConvertView::ImportFromGis() {
  if (busy_ || !context_.formats) return;
  const ConvertSelections shown = Shown();
  if (shown.to.formatName.empty() || shown.to.filePath.empty()) {
    gisPrompts_->ShowMessage(Message{kGisNeedsTarget, {}}, true);
    return;
  }
  const pugi::xml_node settings = context_.settings ? context_.settings() : pugi::xml_node();
  busy_ = true;
  ImportFromGisAsked(*context_.formats, settings, shown.to.formatName, shown.to.filePath,
                     *gisPrompts_);
  busy_ = false;
}

void CConvertView::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  // Now, not when the window is deleted: the program may write the settings before that.
  SaveSelections();
  event->accept();
}

void CConvertView::ShowSource(const ConvertSide& source) {
  RestoreSide(fromType_, fromFormat_, fromFile_, source);
}

void CConvertView::RestoreSide(IdNameCombo* type, QComboBox* format, QLineEdit* file,
                               const ConvertSide& values) {
  if (!type->SelectId(values.typeId)) type->setCurrentIndex(-1);
  FillFormats(format, type->SelectedId());
  const QString name = QString::fromStdString(values.formatName);
  for (int i = 0; i < format->count(); ++i) {
    if (format->itemText(i).compare(name, Qt::CaseInsensitive) == 0) {
      format->setCurrentIndex(i);
      break;
    }
  }
  file->setText(ShownPath(values.filePath));
}

}  // namespace ulvo
