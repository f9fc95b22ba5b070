#include "kavex/gui/tprint_optn_dlg.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "kavex/gui/message_box_dialog.h"

namespace kavex {
namespace {

QString FromBytes(const std::string& s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
std::string ToBytes(const QString& s) {
  return s.toLatin1().toStdString();
}

}  // namespace

TPrintOptnDlg::TPrintOptnDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TPrintOptnDlg"));
  setWindowTitle(QStringLiteral("Print"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  CharsEdit = new QLineEdit(this);
  CharsEdit->setObjectName(QStringLiteral("CharsEdit"));
  CharsEdit->setToolTip(QStringLiteral("from 1 to 255"));
  IntervalEdit = new QLineEdit(this);
  IntervalEdit->setObjectName(QStringLiteral("IntervalEdit"));
  IntervalEdit->setToolTip(QStringLiteral("from 1.0 to 2.0"));
  Size6Button = new QRadioButton(QStringLiteral("6"), this);
  Size11Button = new QRadioButton(QStringLiteral("11"), this);
  FontSizeGroup = new QGroupBox(QStringLiteral("Font size"), this);
  FontSizeGroup->setObjectName(QStringLiteral("FontSizeGroup"));
  auto* sizes = new QHBoxLayout(FontSizeGroup);
  sizes->addWidget(Size6Button);
  sizes->addWidget(Size11Button);
  sizes->addStretch();

  FitNoteLabel = new QLabel(this);
  FitNoteLabel->setObjectName(QStringLiteral("FitNoteLabel"));
  FitNoteLabel->setTextFormat(Qt::PlainText);
  FitNoteLabel->setWordWrap(true);
  FitNoteLabel->setFixedWidth(FitNoteLabel->fontMetrics().averageCharWidth() * 40);
  FitNoteLabel->hide();

  ContinueButton = new QPushButton(QStringLiteral("Continue"), this);
  ContinueButton->setObjectName(QStringLiteral("ContinueButton"));
  CancelButton = new QPushButton(QStringLiteral("CANCEL"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  // Enter moves between the fields. Clicking a button is no leaving of a field: "Continue"
  // checks both itself and CANCEL keeps nothing.
  ContinueButton->setAutoDefault(false);
  CancelButton->setAutoDefault(false);
  ContinueButton->setFocusPolicy(Qt::TabFocus);
  CancelButton->setFocusPolicy(Qt::TabFocus);
  connect(ContinueButton, &QPushButton::clicked, this, &TPrintOptnDlg::accept);
  connect(CancelButton, &QPushButton::clicked, this, &TPrintOptnDlg::reject);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("Characters per line"), this), 0, 0);
  grid->addWidget(CharsEdit, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Line intervals"), this), 1, 0);
  grid->addWidget(IntervalEdit, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ContinueButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(FontSizeGroup);
  layout->addWidget(FitNoteLabel);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  CharsEdit->installEventFilter(this);
  IntervalEdit->installEventFilter(this);
  connect(CharsEdit, &QLineEdit::textChanged, this, &TPrintOptnDlg::UpdateFitNote);
  connect(Size11Button, &QRadioButton::toggled, this, &TPrintOptnDlg::UpdateFitNote);
  showMessage_ = [this](const std::string& text) {
    TMBoxDlg box(this);
    box.Setup(QString::fromUtf8(text.c_str()), kModeMessage);
    box.exec();
  };
  SetOptions(PrintSettings{});
}

void TPrintOptnDlg::SetOptions(const PrintSettings& settings) {
  stored_ = settings;
  CharsEdit->setText(FromBytes(settings.charsPerLine));
  IntervalEdit->setText(FromBytes(settings.lineInterval));
  (settings.printLarge == 1 ? Size11Button : Size6Button)->setChecked(true);
  CharsEdit->setFocus();
  CharsEdit->selectAll();
}

void TPrintOptnDlg::UpdateFitNote() {
  // Only a number the field would accept says anything about the printout.
  const bool valid = AcceptCharsPerLine(ToBytes(CharsEdit->text())).has_value();
  const std::string note = fitNote_ && valid ? fitNote_(options()) : std::string();
  FitNoteLabel->setText(QString::fromUtf8(note.c_str()));
  FitNoteLabel->setVisible(!note.empty());
}

PrintSettings TPrintOptnDlg::options() const {
  return ContinuePrintOptions(ToBytes(CharsEdit->text()), ToBytes(IntervalEdit->text()),
                              Size11Button->isChecked());
}

bool TPrintOptnDlg::Refuse(QLineEdit* edit, const std::string& stored, const char* message) {
  checking_ = true;
  showMessage_(message);
  checking_ = false;
  edit->setText(FromBytes(stored));
  // Back to the field once the event that left it is over.
  QTimer::singleShot(0, edit, [edit] {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
  });
  return false;
}

bool TPrintOptnDlg::LeaveCharsPerLine() {
  const auto accepted = AcceptCharsPerLine(ToBytes(CharsEdit->text()));
  if (!accepted) return Refuse(CharsEdit, stored_.charsPerLine, kInvalidCharsPerLineMessage);
  CharsEdit->setText(FromBytes(*accepted));
  return true;
}

bool TPrintOptnDlg::LeaveLineInterval() {
  const auto accepted = AcceptLineInterval(ToBytes(IntervalEdit->text()));
  if (!accepted) return Refuse(IntervalEdit, stored_.lineInterval, kInvalidLineIntervalMessage);
  IntervalEdit->setText(FromBytes(*accepted));
  return true;
}

bool TPrintOptnDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == CharsEdit || watched == IntervalEdit) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        (watched == CharsEdit ? static_cast<QWidget*>(IntervalEdit) : ContinueButton)
            ->setFocus(Qt::TabFocusReason);
        return true;
      }
    } else if (event->type() == QEvent::FocusOut && !checking_) {
      // A message box or another window taking the focus is not leaving the field.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
        if (watched == CharsEdit) {
          LeaveCharsPerLine();
        } else {
          LeaveLineInterval();
        }
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TPrintOptnDlg::accept() {
  // "Continue" may be pressed with the focus still in a field: check both first.
  if (!LeaveCharsPerLine() || !LeaveLineInterval()) return;
  QDialog::accept();
}

bool PrintOptionsPrompt::Run(PrintSettings& settings) {
  dialog_.SetOptions(settings);
  if (dialog_.exec() != QDialog::Accepted) return false;
  settings = dialog_.options();
  return true;
}

}  // namespace kavex
