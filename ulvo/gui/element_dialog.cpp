#include "ulvo/gui/element_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QValidator>
#include <cmath>

#include "ulvo/engine/format_definition.h"
#include "ulvo/engine/format_design.h"
#include "ulvo/engine/text_codec.h"
#include "ulvo/gui/id_name_combo.h"

namespace ulvo {
namespace {

// Field bytes are shown as Latin-1 characters, so every byte has one.
QString ByteText(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Takes what the field can store; a keystroke that would give anything else is refused, and
// said why when refusal is given.
class FieldValidator : public QValidator {
 public:
  using Check = std::function<bool(const QString& text, QString* why)>;
  FieldValidator(Check check, std::function<void(const QString&)> refusal, QObject* parent)
      : QValidator(parent), check_(std::move(check)), refusal_(std::move(refusal)) {}

  State validate(QString& input, int&) const override {
    QString why;
    if (check_(input, &why)) return Acceptable;
    if (!why.isEmpty() && refusal_) refusal_(why);
    return Invalid;
  }

 private:
  Check check_;
  std::function<void(const QString&)> refusal_;
};

}  // namespace

ElementDialog::ElementDialog(const std::vector<IdName>& elements, const TranslateText& translate,
                             QWidget* parent)
    : QGroupBox(translate("IDC_ELEMENT", "Element"), parent), translate_(translate) {
  setObjectName("ElementDialog");
  idCombo_ = new IdNameCombo(this);
  idCombo_->setObjectName("IDC_ELEMENT_ID");
  idCombo_->Fill(elements);
  widthEdit_ = new QLineEdit(this);
  widthEdit_->setObjectName("IDC_ELEMENT_WIDTH_EDIT");
  // Digits only, and never more than the widest field a definition may hold: the edit shows
  // what is stored.
  const auto refuse = [this](const QString& why) { Refuse(why); };
  widthEdit_->setValidator(new FieldValidator(
      [this](const QString& text, QString* why) {
        for (QChar c : text) {
          if (c < u'0' || c > u'9') return false;
        }
        bool number = false;
        const qlonglong width = text.toLongLong(&number);
        if (text.isEmpty() || (number && width <= kMaxFieldWidth)) return true;
        *why = QString::fromStdString(FormatMessage(
            translate_("IDS_ELEMENT_WIDTH_ERR", "The width cannot be more than %s.").toStdString(),
            std::to_string(kMaxFieldWidth)));
        return false;
      },
      refuse, widthEdit_));
  alignCombo_ = new QComboBox(this);
  alignCombo_->setObjectName("IDC_ELEMENT_ALIGN_LIST");
  alignCombo_->addItems(
      {translate("IDS_ALIGN_LEFT", "Left"), translate("IDS_ALIGN_RIGHT", "Right")});
  fillEdit_ = new QLineEdit(this);
  fillEdit_->setObjectName("IDC_ELEMENT_FILL_EDIT");
  offsetEdit_ = new QLineEdit(this);
  offsetEdit_->setObjectName("IDC_ELEMENT_OFFSET_EDIT");
  // Read as leniently as ever; only a number too large to be written back is refused.
  offsetEdit_->setValidator(new FieldValidator(
      [this](const QString& text, QString* why) {
        if (std::isfinite(ReadDouble(text.toStdString()))) return true;
        *why = QString::fromStdString(FormatMessage(
            translate_("IDS_ELEMENT_OFFSET_ERR", "The offset %s is too large to be stored.")
                .toStdString(),
            text.toStdString()));
        return false;
      },
      refuse, offsetEdit_));
  signCheck_ = new QCheckBox(translate("IDC_ELEMENT_SIGN_CHK", "+/- sign"), this);
  signCheck_->setObjectName("IDC_ELEMENT_SIGN_CHK");

  auto* layout = new QFormLayout(this);
  layout->addRow(idCombo_);
  layout->addRow(translate("IDC_ELEMENT_WIDTH", "Width:"), widthEdit_);
  layout->addRow(translate("IDC_ELEMENT_ALIGN", "Align:"), alignCombo_);
  layout->addRow(translate("IDC_ELEMENT_FILL", "Fill character:"), fillEdit_);
  layout->addRow(translate("IDC_ELEMENT_OFFSET", "Offset:"), offsetEdit_);
  layout->addRow(signCheck_);

  // Only the user's own changes (activated, edited, clicked) reach the item.
  connect(idCombo_, &QComboBox::activated, this, [this](int) {
    if (!element_) return;
    const std::string id = idCombo_->SelectedId();
    if (!EditElementId(*element_, id)) {
      Refuse(IdentifierRefusal(translate_, id));
      const QSignalBlocker blocker(idCombo_);
      if (!idCombo_->SelectId(element_->Id())) idCombo_->setCurrentIndex(-1);
      return;
    }
    Refuse({});
    emit IdChanged(idCombo_->currentText());
  });
  connect(widthEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (!element_) return;
    Refuse({});
    EditElementWidth(*element_, text.toStdString());
  });
  connect(alignCombo_, &QComboBox::activated, this, [this](int index) {
    if (element_) EditElementAlign(*element_, index == 1);
  });
  connect(signCheck_, &QCheckBox::clicked, this, [this](bool checked) {
    if (element_) EditElementSign(*element_, checked);
  });
  connect(offsetEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (!element_) return;
    Refuse({});
    EditElementOffset(*element_, text.toStdString());
  });
  connect(fillEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (!element_) return;
    const std::u32string typed = text.toStdU32String();
    QString why;
    if (!typed.empty() && typed[0] > 0xFF) {
      why = ByteRefusal(translate_, typed[0]);
    } else if (!typed.empty() && !IsFillByte(static_cast<char>(typed[0]))) {
      why = CharacterRefusal(translate_, FirstUnstorableCharacter(text.left(1).toStdString()));
    }
    Refuse(why);
    if (!why.isEmpty()) {
      // The fill stays what it was, and so does the edit.
      fillEdit_->setText(ByteText(std::string(1, element_->Fill())));
      return;
    }
    const QByteArray bytes = text.toLatin1();
    const std::string kept = EditElementFill(*element_, bytes.toStdString());
    if (kept.size() != static_cast<size_t>(bytes.size())) {
      const int caret = fillEdit_->cursorPosition();
      fillEdit_->setText(ByteText(kept));
      fillEdit_->setCursorPosition(std::min(caret, static_cast<int>(kept.size())));
    }
  });
}

void ElementDialog::Refuse(const QString& text) const {
  if (refuse_) refuse_(text);
}

void ElementDialog::Fill(ElementDefinition* element) {
  element_ = nullptr;
  if (!element) return;
  const QSignalBlocker blockId(idCombo_);
  if (!idCombo_->SelectId(element->Id())) idCombo_->setCurrentIndex(-1);
  widthEdit_->setText(QString::number(element->Width()));
  alignCombo_->setCurrentIndex(element->AlignRight() ? 1 : 0);
  fillEdit_->setText(ByteText(std::string(1, element->Fill())));
  offsetEdit_->setText(QString::fromStdString(FormatFixed(element->Offset(), 6)));
  signCheck_->setChecked(element->Sign());
  element_ = element;
}

}  // namespace ulvo
