#include "kavex/gui/tinput_data_dlg.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "kavex/gui/tcvt_q6to7_dlg.h"

namespace kavex {
namespace {

// A modifier pressed alone types nothing.
bool IsModifier(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
         key == Qt::Key_AltGr || key == Qt::Key_Meta || key == Qt::Key_CapsLock ||
         key == Qt::Key_NumLock;
}

}  // namespace

TInputDataDlg::TInputDataDlg(DataEditPrompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
  setObjectName(QStringLiteral("TInputDataDlg"));
  setWindowTitle(QStringLiteral("Data Input"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  auto* grid = new QGridLayout;
  for (int i = 0; i < 4; ++i) {
    Labels[i] = new QLabel(this);
    Edits[i] = new QLineEdit(this);
    Edits[i]->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
    Edits[i]->setMinimumWidth(120);
    Edits[i]->installEventFilter(this);
    // A paste or a drop is checked as if its characters had been typed.
    connect(Edits[i], &QLineEdit::textEdited, this, [this, i](const QString& text) {
      if (typedKey_ || !DataInput::FiltersKeys(kind_, i) || TCvtQ6to7Dlg::IsTypedNumberText(text))
        return;
      Edits[i]->clear();
      Notify(kInvalidInputKeyMessage);
    });
    grid->addWidget(Labels[i], i, 0);
    grid->addWidget(Edits[i], i, 1);
  }
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  CancelButton = new QPushButton(QStringLiteral("CANCEL"), this);
  // Clicking a button is no leaving of a field: OK checks every field itself, CANCEL keeps
  // nothing. Enter in a field moves on and must not press OK.
  OkButton->setFocusPolicy(Qt::TabFocus);
  CancelButton->setFocusPolicy(Qt::TabFocus);
  OkButton->setAutoDefault(true);
  CancelButton->setAutoDefault(false);
  connect(OkButton, &QPushButton::clicked, this, &TInputDataDlg::OkClicked);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  Setup(EditKind::kCoordinates, std::nullopt);
}

void TInputDataDlg::Setup(EditKind kind, const std::optional<DataEditTable::Row>& values) {
  kind_ = kind;
  const bool coords = kind == EditKind::kCoordinates;
  const char* captions[2][4] = {{"Coord Number :", "Pt Code :", "", ""},
                                {"PTNO\t\t:", "XCoord\t:", "YCoord\t:", "ZCoord\t:"}};
  // A code text is kept to the 10 characters of its field rather than cut when written.
  const int lengths[2][4] = {{3, 10, 0, 0}, {10, 11, 11, 11}};
  for (int i = 0; i < 4; ++i) {
    // The tabs of the captions line the colons up; a label shows them as spacing.
    QString caption = QString::fromLatin1(captions[coords][i]);
    Labels[i]->setText(caption.replace(QLatin1Char('\t'), QStringLiteral("    ")));
    Edits[i]->setMaxLength(std::max(1, lengths[coords][i]));
    const bool shown = coords || i < 2;
    Labels[i]->setVisible(shown);
    Edits[i]->setVisible(shown);
    Edits[i]->setText(values && static_cast<size_t>(i) < values->size()
                          ? QString::fromLatin1((*values)[static_cast<size_t>(i)].c_str())
                          : QString());
  }
  Edits[0]->setFocus();
}

bool TInputDataDlg::Run(DataEditTable& table, std::optional<size_t> editedRow,
                        const std::optional<DataEditTable::Row>& values) {
  table_ = &table;
  editedRow_ = editedRow;
  Setup(table.Kind(), values);
  const bool ok = exec() == QDialog::Accepted;
  table_ = nullptr;
  return ok;
}

std::array<std::string, 4> TInputDataDlg::Fields() const {
  std::array<std::string, 4> out;
  for (size_t i = 0; i < 4; ++i) out[i] = Edits[i]->text().toLatin1().toStdString();
  return out;
}

int TInputDataDlg::FieldOf(QObject* object) const {
  for (int i = 0; i < 4; ++i)
    if (Edits[i] == object) return i;
  return -1;
}

void TInputDataDlg::Notify(const char* text) {
  checking_ = true;
  prompts_.Notify(kDataInputCaption, text);
  checking_ = false;
}

void TInputDataDlg::KeepFocus(int field) {
  QLineEdit* edit = Edits[field];
  QTimer::singleShot(0, edit, [edit] {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
  });
}

void TInputDataDlg::EnterIn(int field) {
  const bool coords = kind_ == EditKind::kCoordinates;
  const std::string text = Edits[field]->text().toLatin1().toStdString();
  if (field == 0 && text.empty()) return Notify(kNoDataMessage);
  if (coords && field > 0) {
    if (text.empty()) return Notify(kNoDataMessage);
    if (DataInput::CoordinateProblem(text)) return Notify(kLimitOverMessage);
  }
  const bool last = coords ? field == 3 : field == 1;
  (last ? static_cast<QWidget*>(OkButton) : Edits[field + 1])->setFocus(Qt::TabFocusReason);
}

bool TInputDataDlg::LeaveField(int field) {
  if (!DataInput::FiltersKeys(kind_, field)) return true;
  const std::string text = Edits[field]->text().toLatin1().toStdString();
  const auto problem = kind_ == EditKind::kCoordinates ? DataInput::CoordinateProblem(text)
                                                       : DataInput::CodeNumberProblem(text);
  if (!problem) return true;
  Notify(problem->c_str());
  KeepFocus(field);
  return false;
}

void TInputDataDlg::OkClicked() {
  if (!table_) return;
  std::array<std::string, 4> fields = Fields();
  int focus = 0;
  checking_ = true;
  const InputOutcome outcome = DataInputOk(*table_, fields, editedRow_, prompts_, focus);
  checking_ = false;
  if (outcome == InputOutcome::kStay) {
    KeepFocus(focus);
    return;
  }
  for (size_t i = 0; i < table_->ColumnCount(); ++i)
    Edits[i]->setText(QString::fromLatin1(fields[i].c_str()));
  accept();
}

bool TInputDataDlg::eventFilter(QObject* watched, QEvent* event) {
  const int field = FieldOf(watched);
  if (field < 0) return QDialog::eventFilter(watched, event);
  if (TCvtQ6to7Dlg::EndsTyping(*event)) typedKey_ = false;
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      EnterIn(field);
      return true;
    }
    if (DataInput::FiltersKeys(kind_, field) && !IsModifier(key->key()) &&
        !TCvtQ6to7Dlg::IsEditingShortcut(*key)) {
      if (!DataInput::IsNumberKey(TCvtQ6to7Dlg::VirtualKeyCode(*key))) {
        Edits[field]->clear();
        Notify(kInvalidInputKeyMessage);
        return true;
      }
      typedKey_ = true;
    }
    return QDialog::eventFilter(watched, event);
  }
  if (event->type() == QEvent::FocusOut && !checking_) {
    // A message box or another window taking the focus is not leaving the field.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible())
      LeaveField(field);
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace kavex
