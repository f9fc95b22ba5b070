#include "kavex/gui/tcvt_q6to7_dlg.h"

#include <QApplication>
#include <QCheckBox>
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
#include "kavex/gui/path_field.h"
#include "kavex/gui/qt_prompts.h"

namespace kavex {
namespace {

// Data bytes are shown as Latin-1 so every byte survives the round trip.
QString FromBytes(const std::string& s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
std::string ToBytes(const QString& s) {
  return s.toLatin1().toStdString();
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QGroupBox* TwoColumnGroup(const char* name, const QString& title, QRadioButton* left,
                          QRadioButton* right) {
  auto* group = Named(new QGroupBox(title), name);
  auto* layout = new QHBoxLayout(group);
  layout->addWidget(left);
  layout->addWidget(right);
  return group;
}

}  // namespace

TCvtQ6to7Dlg::TCvtQ6to7Dlg(const CvtQ6to7Options& options, const QString& currentFile,
                           QWidget* parent)
    : QDialog(parent),
      lastScale_(FromBytes(options.scaleText)),
      lastElevation_(FromBytes(options.elevationText)) {
  setObjectName("TCvtQ6to7Dlg");
  setWindowTitle("Convert QRX/WNV to NWF");

  Label1 = Named(new QLabel("Convert QRX/WNV to NWF"), "Label1");
  Label2 = Named(new QLabel("Current :"), "Label2");
  Edit1 = Named(new PathField, "Edit1");
  Edit1->setMinimumWidth(Edit1->fontMetrics().averageCharWidth() * kPathFieldCharacters);
  Edit1->SetPath(currentFile);
  AddHeadCbx = Named(new QCheckBox("Add QRX-700 header"), "AddHeadCbx");
  AddHeadCbx->setChecked(options.addHeader);

  DegreeButton = Named(new QRadioButton("Degree"), "DegreeButton");
  GonButton = Named(new QRadioButton("Gon"), "GonButton");
  (options.angleDegrees ? DegreeButton : GonButton)->setChecked(true);
  RadioGroup1 = TwoColumnGroup("RadioGroup1", "Angle Unit", DegreeButton, GonButton);
  MeterButton = Named(new QRadioButton("Meter"), "MeterButton");
  FeetButton = Named(new QRadioButton("Feet"), "FeetButton");
  (options.distanceMetres ? MeterButton : FeetButton)->setChecked(true);
  RadioGroup2 = TwoColumnGroup("RadioGroup2", "Distance Unit", MeterButton, FeetButton);

  Label3 = Named(new QLabel("Scale Factor"), "Label3");
  Edit2 = Named(new QLineEdit(lastScale_), "Edit2");
  Edit2->setToolTip("from 0.9999 to 1.000099");
  Label4 = Named(new QLabel("Elevation (m)"), "Label4");
  Edit3 = Named(new QLineEdit(lastElevation_), "Edit3");
  Edit3->setToolTip("from -10000 to 10000");

  RadioButton1 = Named(new QRadioButton("FS"), "RadioButton1");
  RadioButton2 = Named(new QRadioButton("SS"), "RadioButton2");
  (options.measuredFs ? RadioButton1 : RadioButton2)->setChecked(true);
  CheckBox3 = Named(new QCheckBox("The first measurement is BS."), "CheckBox3");
  CheckBox3->setChecked(options.firstIsBs);
  MeasPT = Named(new QGroupBox("Measured Points"), "MeasPT");
  auto* measLayout = new QVBoxLayout(MeasPT);
  auto* fsSs = new QHBoxLayout;
  fsSs->addWidget(RadioButton1);
  fsSs->addWidget(RadioButton2);
  measLayout->addLayout(fsSs);
  measLayout->addWidget(CheckBox3);

  Button1 = Named(new QPushButton("OK"), "Button1");
  Button2 = Named(new QPushButton("CANCEL"), "Button2");
  // Clicking a button must not count as leaving an edit: OK checks both edits itself and
  // CANCEL keeps nothing.
  Button1->setFocusPolicy(Qt::TabFocus);
  Button2->setFocusPolicy(Qt::TabFocus);
  Button1->setAutoDefault(false);
  Button2->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { OkClicked(); });
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

  auto* fields = new QGridLayout;
  fields->addWidget(Label2, 0, 0);
  fields->addWidget(Edit1, 0, 1);
  fields->addWidget(Label3, 1, 0);
  fields->addWidget(Edit2, 1, 1);
  fields->addWidget(Label4, 2, 0);
  fields->addWidget(Edit3, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addLayout(fields);
  layout->addWidget(AddHeadCbx);
  layout->addWidget(RadioGroup1);
  layout->addWidget(RadioGroup2);
  layout->addWidget(MeasPT);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  Edit2->installEventFilter(this);
  Edit3->installEventFilter(this);
  for (QLineEdit* edit : {Edit2, Edit3})
    connect(edit, &QLineEdit::textEdited, this,
            [this, edit](const QString& text) { Edited(edit, text); });
  AddHeadCbx->setFocus();

  showMessage_ = [this](const QString& title, const QString& text) {
    TMBoxDlg box(this);
    box.Setup(text, kModeMessage, title);
    box.exec();
  };
}

CvtQ6to7Options TCvtQ6to7Dlg::options() const {
  CvtQ6to7Options o;
  o.addHeader = AddHeadCbx->isChecked();
  o.angleDegrees = DegreeButton->isChecked();
  o.distanceMetres = MeterButton->isChecked();
  o.scaleText = ToBytes(lastScale_);
  o.elevationText = ToBytes(lastElevation_);
  o.measuredFs = RadioButton1->isChecked();
  o.firstIsBs = CheckBox3->isChecked();
  return o;
}

int TCvtQ6to7Dlg::VirtualKeyCode(const QKeyEvent& event) {
  const int key = event.key();
  const bool keypad = event.modifiers() & Qt::KeypadModifier;
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return (keypad ? 96 : 48) + (key - Qt::Key_0);
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 65 + (key - Qt::Key_A);
  switch (key) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Asterisk:
      return keypad ? 106 : -1;
    case Qt::Key_Plus:
      return keypad ? 107 : 187;
    case Qt::Key_Minus:
      return keypad ? 109 : 189;
    case Qt::Key_Period:
      return keypad ? 110 : 190;
    case Qt::Key_Comma:
      return 188;
    case Qt::Key_Slash:
      return keypad ? 111 : 191;
    default:
      return -1;
  }
}

bool TCvtQ6to7Dlg::IsAcceptedKey(int vk) {
  return vk == 8 || vk == 9 || (vk >= 35 && vk <= 40) || vk == 46 || (vk >= 48 && vk <= 57) ||
         (vk >= 96 && vk <= 105) || vk == 109 || vk == 110 || vk == 189 || vk == 190;
}

bool TCvtQ6to7Dlg::IsEditingShortcut(const QKeyEvent& event) {
  for (const QKeySequence::StandardKey key :
       {QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Paste, QKeySequence::Cut,
        QKeySequence::Undo, QKeySequence::Redo})
    if (event.matches(key)) return true;
  return false;
}

bool TCvtQ6to7Dlg::IsTypedNumberText(const QString& text) {
  for (const QChar c : text)
    if (!(c.unicode() >= '0' && c.unicode() <= '9') && c != QLatin1Char('-') &&
        c != QLatin1Char('.'))
      return false;
  return true;
}

bool TCvtQ6to7Dlg::EndsTyping(const QEvent& event) {
  // Only the key press under way can be typing; a menu, a click or a drop that may paste
  // is not.
  switch (event.type()) {
    case QEvent::KeyPress:
    case QEvent::ContextMenu:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::Drop:
    case QEvent::InputMethod:
      return true;
    default:
      return false;
  }
}

bool TCvtQ6to7Dlg::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit && (edit == Edit2 || edit == Edit3)) {
    if (EndsTyping(*event)) typedKey_ = false;
    if (event->type() == QEvent::KeyPress) return EditKey(edit, static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::FocusOut) {
      // A message box or another window taking the focus is not leaving the field.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !checking_) {
        if (edit == Edit2) {
          LeaveScale();
        } else {
          LeaveElevation();
        }
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool TCvtQ6to7Dlg::EditKey(QLineEdit* edit, QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
      return false;  // a modifier alone types nothing
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (edit == Edit2) {
        Edit3->setFocus(Qt::TabFocusReason);
      } else {
        Button1->setFocus(Qt::TabFocusReason);
      }
      return true;
    default:
      break;
  }
  if (IsEditingShortcut(*event)) return false;  // what it pastes is checked when it lands
  if (IsAcceptedKey(VirtualKeyCode(*event))) {
    typedKey_ = true;
    return false;
  }
  Refuse(edit, edit == Edit2 ? lastScale_ : lastElevation_, "Data Input", "Invalid Input Key");
  return true;
}

void TCvtQ6to7Dlg::Edited(QLineEdit* edit, const QString& text) {
  if (typedKey_ || IsTypedNumberText(text)) return;
  Refuse(edit, edit == Edit2 ? lastScale_ : lastElevation_, "Data Input", "Invalid Input Key");
}

void TCvtQ6to7Dlg::Refuse(QLineEdit* edit, const QString& lastAccepted, const QString& title,
                          const QString& text) {
  checking_ = true;
  showMessage_(title, text);
  checking_ = false;
  edit->setText(lastAccepted);
  edit->selectAll();
  // The focus goes back once the event that left the edit is over.
  QTimer::singleShot(0, edit, [edit] {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
  });
}

bool TCvtQ6to7Dlg::LeaveScale() {
  const std::optional<std::string> accepted = AcceptScaleText(ToBytes(Edit2->text()));
  if (!accepted) {
    Refuse(Edit2, lastScale_, "Kavex", kInvalidScaleMessage);
    return false;
  }
  lastScale_ = FromBytes(*accepted);
  Edit2->setText(lastScale_);
  return true;
}

bool TCvtQ6to7Dlg::LeaveElevation() {
  const std::optional<std::string> accepted = AcceptElevationText(ToBytes(Edit3->text()));
  if (!accepted) {
    Refuse(Edit3, lastElevation_, "Kavex", kInvalidElevationMessage);
    return false;
  }
  lastElevation_ = FromBytes(*accepted);
  Edit3->setText(lastElevation_);
  return true;
}

void TCvtQ6to7Dlg::OkClicked() {
  // Invalid options are refused here, never during the run.
  if (!LeaveScale() || !LeaveElevation()) return;
  accept();
}

bool CvtQ6to7DialogPrompt::Run(const std::string& currentFile, CvtQ6to7Options& options) {
  const QString path = QtPrompts::FromPath(currentFile);
  if (!dialog_) dialog_ = new TCvtQ6to7Dlg(options, path, parent_);
  dialog_->Edit1->SetPath(path);
  dialog_->AddHeadCbx->setFocus();
  if (dialog_->exec() != QDialog::Accepted) return false;
  options = dialog_->options();
  return true;
}

}  // namespace kavex
