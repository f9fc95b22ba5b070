#include "ulvo/gui/cplan_view.h"

#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ulvo/convert/convert_settings.h"
#include "ulvo/engine/replace_file.h"
#include "ulvo/gui/plan_canvas.h"
#include "ulvo/platform/plan_painter.h"

namespace ulvo {
namespace {

constexpr int kScales[] = {100, 200, 250, 500, 1000, 2000, 2500, 5000, 10000, 25000, 50000};

struct ElementRow {
  const char* key;
  const char* text;
};
constexpr ElementRow kElementRows[] = {
    {"IDC_PLAN_NORTHING", "Northing"}, {"IDC_PLAN_EASTING", "Easting"},
    {"IDC_PLAN_HEIGHT", "Height"},     {"IDC_PLAN_NAME", "Point name"},
    {"IDC_PLAN_CODE", "Code"},
};

std::string* Member(PlanElements& e, int i) {
  std::string* members[] = {&e.northing, &e.easting, &e.height, &e.name, &e.code};
  return members[i];
}

}  // namespace

CPlanView::CPlanView(TaskContext context, QWidget* parent)
    : QWidget(parent), context_(std::move(context)) {
  setObjectName(QStringLiteral("CPlanView"));
  setWindowTitle(context_.QText("DT_PLAN", "Plan"));
  setMinimumSize(680, 560);
  auto* layout = new QVBoxLayout(this);

  auto* source = new QGridLayout;
  source->addWidget(new QLabel(context_.QText("IDC_PLAN_FORMAT", "Format"), this), 0, 0);
  format_ = new QComboBox(this);
  format_->setObjectName(QStringLiteral("PlanFormat"));
  source->addWidget(format_, 0, 1, 1, 3);
  source->addWidget(new QLabel(context_.QText("IDC_PLAN_FILE", "File"), this), 1, 0);
  file_ = new QLineEdit(this);
  file_->setObjectName(QStringLiteral("PlanFile"));
  source->addWidget(file_, 1, 1, 1, 2);
  auto* browse = new QPushButton(QStringLiteral("..."), this);
  browse->setObjectName(QStringLiteral("PlanBrowse"));
  source->addWidget(browse, 1, 3);
  source->setColumnStretch(1, 1);
  layout->addLayout(source);

  auto* chosen = new QHBoxLayout;
  const std::vector<IdName> ids = context_.settings
                                      ? ReadIdList(context_.settings(), "elements", "element")
                                      : std::vector<IdName>{};
  for (int i = 0; i < 5; ++i) {
    chosen->addWidget(new QLabel(context_.QText(kElementRows[i].key, kElementRows[i].text), this));
    elements_[i] = new QComboBox(this);
    elements_[i]->setObjectName(QStringLiteral("PlanElement%1").arg(i));
    elements_[i]->setEditable(true);
    for (const IdName& id : ids) elements_[i]->addItem(QString::fromStdString(id.id));
    chosen->addWidget(elements_[i], 1);
  }
  layout->addLayout(chosen);

  auto* actions = new QHBoxLayout;
  auto* draw = new QPushButton(context_.QText("IDC_PLAN_DRAW", "&Draw"), this);
  draw->setObjectName(QStringLiteral("PlanDraw"));
  auto* fromSource = new QPushButton(context_.QText("IDC_PLAN_SOURCE", "Conversion &source"), this);
  fromSource->setObjectName(QStringLiteral("PlanSource"));
  auto* fromTarget = new QPushButton(context_.QText("IDC_PLAN_TARGET", "Conversion &target"), this);
  fromTarget->setObjectName(QStringLiteral("PlanTarget"));
  actions->addWidget(draw);
  actions->addWidget(fromSource);
  actions->addWidget(fromTarget);
  actions->addStretch();
  auto* close = new QPushButton(context_.QText("IDC_PLAN_CLOSE", "&Close"), this);
  close->setObjectName(QStringLiteral("PlanClose"));
  actions->addWidget(close);
  layout->addLayout(actions);

  header_ = new QLabel(QString::fromStdString(PlanHeaderText(0, 0, 0)), this);
  header_->setObjectName(QStringLiteral("PlanHeader"));
  header_->setTextFormat(Qt::PlainText);
  layout->addWidget(header_);
  canvas_ = new PlanCanvas(model_, this);
  layout->addWidget(canvas_, 1);

  auto* save = new QHBoxLayout;
  auto* fit = new QPushButton(context_.QText("IDC_PLAN_FIT", "Fit"), this);
  fit->setObjectName(QStringLiteral("PlanFit"));
  save->addWidget(fit);
  sheet_ = new QComboBox(this);
  sheet_->setObjectName(QStringLiteral("PlanSheet"));
  sheet_->addItems({context_.QText("IDC_PLAN_VIEW", "Present view"), QStringLiteral("A4"),
                    QStringLiteral("A3")});
  save->addWidget(sheet_);
  scale_ = new QComboBox(this);
  scale_->setObjectName(QStringLiteral("PlanScale"));
  scale_->addItem(context_.QText("IDC_PLAN_FITTED", "Fitted scale"), 0);
  for (int s : kScales) scale_->addItem(QStringLiteral("1:%1").arg(s), s);
  scale_->setEnabled(false);
  save->addWidget(scale_);
  save->addStretch();
  auto* saveAs = new QPushButton(context_.QText("IDC_PLAN_SAVE", "Save plan as..."), this);
  saveAs->setObjectName(QStringLiteral("PlanSave"));
  save->addWidget(saveAs);
  layout->addLayout(save);
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("PlanNote"));
  note_->setTextFormat(Qt::PlainText);
  layout->addWidget(note_);

  chooseFile_ = [this](bool saving, const QString& start) {
    if (!saving) return QFileDialog::getOpenFileName(this, windowTitle(), start);
    QStringList filters;
    for (const PlanFileFormat& f : PlanFileFormats()) filters << QString::fromLatin1(f.filter);
    return QFileDialog::getSaveFileName(this, windowTitle(), start,
                                        filters.join(QStringLiteral(";;")));
  };
  message_ = [this](const std::string& text) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(text));
  };

  ReloadFormats();
  if (context_.settings) {
    // Start with the source of the next conversion, which a receive also sets.
    const ConvertSide from = ReadConvertSelections(context_.settings()).from;
    if (const int i = format_->findText(QString::fromStdString(from.formatName)); i >= 0)
      format_->setCurrentIndex(i);
    file_->setText(QString::fromStdString(from.filePath));
  }
  ShowElements();
  connect(format_, &QComboBox::currentIndexChanged, this, [this] { ShowElements(); });
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString path = chooseFile_(false, file_->text());
    if (!path.isEmpty()) file_->setText(path);
  });
  connect(draw, &QPushButton::clicked, this, [this] { Draw(); });
  connect(fromSource, &QPushButton::clicked, this, [this] { DrawConversion(false); });
  connect(fromTarget, &QPushButton::clicked, this, [this] { DrawConversion(true); });
  connect(close, &QPushButton::clicked, this, &CPlanView::CloseRequested);
  connect(fit, &QPushButton::clicked, this, [this] { canvas_->Fit(); });
  connect(sheet_, &QComboBox::currentIndexChanged, this,
          [this](int index) { scale_->setEnabled(index > 0); });
  connect(saveAs, &QPushButton::clicked, this, [this] {
    const QString path = chooseFile_(true, QString());
    if (!path.isEmpty()) SaveTo(path);
  });
}

void CPlanView::ReloadFormats() {
  const QString current = format_->currentText();
  QStringList names;
  if (context_.formats)
    for (size_t i = 0; i < context_.formats->Count(); ++i)
      names << QString::fromStdString(context_.formats->At(i)->Name());
  names.sort(Qt::CaseInsensitive);
  format_->blockSignals(true);
  format_->clear();
  format_->addItems(names);
  if (const int i = format_->findText(current); i >= 0) format_->setCurrentIndex(i);
  format_->blockSignals(false);
}

void CPlanView::ShowElements() {
  const PlanElements e = context_.settings ? ReadPlanElements(context_.settings(),
                                                              format_->currentText().toStdString())
                                           : PlanElements{};
  PlanElements copy = e;
  for (int i = 0; i < 5; ++i) elements_[i]->setEditText(QString::fromStdString(*Member(copy, i)));
}

PlanElements CPlanView::ChosenElements() const {
  PlanElements e;
  for (int i = 0; i < 5; ++i) *Member(e, i) = elements_[i]->currentText().trimmed().toStdString();
  return e;
}

void CPlanView::Tell(const std::string& text) {
  note_->setText(QString::fromStdString(text));
  if (message_) message_(text);
}

bool CPlanView::Draw() {
  const std::string name = format_->currentText().toStdString();
  FormatDefinition* format = context_.formats ? context_.formats->Find(name) : nullptr;
  if (!format) {
    Tell(context_.Text("MSG_PLAN_NO_FORMAT", "Choose the format of the file."));
    return false;
  }
  const PlanElements elements = ChosenElements();
  if (context_.settings) WritePlanElements(context_.settings(), name, elements);
  DocumentPoints read;
  ParseFailure failure;
  const std::filesystem::path input = QFile::encodeName(file_->text()).toStdString();
  const bool whole = ReadFilePoints(*format, input, elements, read, &failure);
  if (!whole && failure.unread) {
    Tell(input.string() + ": " + failure.reason);
    return false;
  }
  model_.SetPoints(std::move(read.points));
  canvas_->Select(std::nullopt, false);
  canvas_->Fit();
  std::string header =
      PlanHeaderText(model_.Points().size(), model_.SameNameCount(), model_.FarCount());
  if (!whole)
    header += "; " +
              context_.Text("MSG_PLAN_PARTLY", "the file stops matching the format at line ") +
              std::to_string(failure.line);
  header_->setText(QString::fromStdString(header));
  note_->clear();
  return whole;
}

bool CPlanView::DrawConversion(bool target) {
  if (!context_.settings) return false;
  const ConvertSelections s = ReadConvertSelections(context_.settings());
  return DrawSide(target ? s.to : s.from);
}

bool CPlanView::DrawSide(const ConvertSide& side) {
  // A format that is gone must not leave the previous one to read the file with.
  format_->setCurrentIndex(format_->findText(QString::fromStdString(side.formatName)));
  file_->setText(QFile::decodeName(QByteArray::fromStdString(side.filePath)));
  return Draw();
}

bool CPlanView::SaveTo(const QString& chosen) {
  QString path = chosen;
  const PlanFileFormat* type = PlanFileFormatOf(QFile::encodeName(path).toStdString());
  if (!type) {
    type = &PlanFileFormats().front();
    path += QString::fromLatin1(type->extension);
  }
  const std::string date = QDate::currentDate().toString(Qt::ISODate).toStdString();
  const std::string title = QFileInfo(file_->text()).fileName().toStdString();
  std::string bytes;
  if (sheet_->currentIndex() == 0) {
    bytes = PlanFileBytes(type->type, model_, ScreenSheet(model_, canvas_->View(), title, date),
                          canvas_->Style());
  } else {
    const PlanPaper paper = sheet_->currentIndex() == 1 ? PlanPaper::kA4 : PlanPaper::kA3;
    bytes = PlanFileBytes(type->type, model_,
                          PaperSheet(model_, paper, scale_->currentData().toInt(), title, date),
                          PaperStyle());
  }
  const std::string file = QFile::encodeName(path).toStdString();
  const std::string why =
      bytes.empty() ? std::string("the plan could not be drawn") : ReplaceFileWith(file, bytes);
  if (!why.empty()) {
    Tell(std::string(kPlanNotSavedMessage) + " " + file + ": " + why);
    return false;
  }
  note_->setText(QStringLiteral("Saved ") + QFileInfo(path).fileName());
  return true;
}

}  // namespace ulvo
