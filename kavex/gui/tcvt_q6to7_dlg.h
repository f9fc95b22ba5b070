#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "kavex/formats/qrx6_to_nwf.h"
#include "kavex/gui/path_field.h"
#include "kavex/shell/convert_commands.h"

class QCheckBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace kavex {

// "Convert QRX/WNV to NWF": the options of the conversion to NWF. Built from an options
// struct and read back with options(), so it can be checked without exec().
class TCvtQ6to7Dlg : public QDialog {
  Q_OBJECT

 public:
  TCvtQ6to7Dlg(const CvtQ6to7Options& options, const QString& currentFile,
               QWidget* parent = nullptr);

  // The choices as they stand; scale and elevation are the last accepted texts.
  CvtQ6to7Options options() const;

  // Shows a message (title, text). Tests replace it; the default is a modal message box.
  using MessageHandler = std::function<void(const QString& title, const QString& text)>;
  void setMessageHandler(MessageHandler handler) { showMessage_ = std::move(handler); }

  // The virtual-key code a key stands for (Backspace 8, digits 48..57, numeric pad
  // 96..105, ...), or -1 for a key without one.
  static int VirtualKeyCode(const QKeyEvent& event);
  // The keys Edit2 and Edit3 take without comment.
  static bool IsAcceptedKey(int virtualKey);
  // The editing shortcuts a number field lets through: select all, copy, paste, cut, undo
  // and redo.
  static bool IsEditingShortcut(const QKeyEvent& event);
  // Whether text could have been typed with the keys a number field takes (digits, minus,
  // decimal point): pasted text is checked as if typed.
  static bool IsTypedNumberText(const QString& text);
  // Whether an event to a number field ends the typing of the key before it (a new key, or
  // something that may paste): the change after it is checked as pasted.
  static bool EndsTyping(const QEvent& event);

  // The checks made when Edit2 / Edit3 are left. On refusal the message is shown and the
  // edit gets back its last accepted text, selected, and the focus.
  bool LeaveScale();
  bool LeaveElevation();

  QLabel* Label1;
  QLabel* Label2;
  PathField* Edit1;
  QCheckBox* AddHeadCbx;
  QGroupBox* RadioGroup1;
  QRadioButton* DegreeButton;
  QRadioButton* GonButton;
  QGroupBox* RadioGroup2;
  QRadioButton* MeterButton;
  QRadioButton* FeetButton;
  QLabel* Label3;
  QLineEdit* Edit2;
  QLabel* Label4;
  QLineEdit* Edit3;
  QGroupBox* MeasPT;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QCheckBox* CheckBox3;
  QPushButton* Button1;
  QPushButton* Button2;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool EditKey(QLineEdit* edit, QKeyEvent* event);
  // A change to Edit2 / Edit3 that no accepted key made (a paste, a drop): refused as the
  // key would be when it holds a character no such key types.
  void Edited(QLineEdit* edit, const QString& text);
  void Refuse(QLineEdit* edit, const QString& lastAccepted, const QString& title,
              const QString& text);
  void OkClicked();

  MessageHandler showMessage_;
  QString lastScale_;
  QString lastElevation_;
  bool checking_ = false;
  // The key being handled is one the edit takes: the change it makes needs no check.
  bool typedKey_ = false;
};

// The options dialog as the conversion flow asks for it: one TCvtQ6to7Dlg, made at the
// first run from the caller's options and kept, so that what the user left in it (also
// after CANCEL) is there the next time, as on a form that lives for the whole run.
class CvtQ6to7DialogPrompt final : public CvtQ6to7OptionsDialog {
 public:
  explicit CvtQ6to7DialogPrompt(QWidget* parent) : parent_(parent) {}
  bool Run(const std::string& currentFile, CvtQ6to7Options& options) override;
  // The dialog once made (it belongs to the parent window).
  TCvtQ6to7Dlg* Dialog() const { return dialog_; }

 private:
  QWidget* parent_;
  TCvtQ6to7Dlg* dialog_ = nullptr;
};

}  // namespace kavex
