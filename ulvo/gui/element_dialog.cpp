#include "ulvo/gui/element_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include "ulvo/engine/format_design.h"
#include "ulvo/engine/text_codec.h"
#include "ulvo/gui/id_name_combo.h"

namespace ulvo {
namespace {

// Field bytes are shown as Latin-1 characters, so every byte has one.
QString ByteText(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

ElementDialog::ElementDialog(const std::vector<IdName>& elements, const TranslateText& translate,
                             QWidget* parent)
    : QGroupBox(translate("IDC_ELEMENT", "Element"), parent) {
  setObjectName("ElementDialog");
  idCombo_ = new IdNameCombo(this);
  idCombo_->setObjectName("IDC_ELEMENT_ID");
  idCombo_->Fill(elements);
  widthEdit_ = new QLineEdit(this);
  widthEdit_->setObjectName("IDC_ELEMENT_WIDTH_EDIT");
  // Digits only, and never more than the widest field a definition may hold.
  widthEdit_->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9]{0,7}"), widthEdit_));
  alignCombo_ = new QComboBox(this);
  alignCombo_->setObjectName("IDC_ELEMENT_ALIGN_LIST");
  alignCombo_->addItems(
      {translate("IDS_ALIGN_LEFT", "Left"), translate("IDS_ALIGN_RIGHT", "Right")});
  fillEdit_ = new QLineEdit(this);
  fillEdit_->setObjectName("IDC_ELEMENT_FILL_EDIT");
  offsetEdit_ = new QLineEdit(this);
  offsetEdit_->setObjectName("IDC_ELEMENT_OFFSET_EDIT");
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
    EditElementId(*element_, idCombo_->SelectedId());
    emit IdChanged(idCombo_->currentText());
  });
  connect(widthEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (element_) EditElementWidth(*element_, text.toStdString());
  });
  connect(alignCombo_, &QComboBox::activated, this, [this](int index) {
    if (element_) EditElementAlign(*element_, index == 1);
  });
  connect(signCheck_, &QCheckBox::clicked, this, [this](bool checked) {
    if (element_) EditElementSign(*element_, checked);
  });
  connect(offsetEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (element_) EditElementOffset(*element_, text.toStdString());
  });
  connect(fillEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (!element_) return;
    const QByteArray bytes = text.toLatin1();
    const std::string kept = EditElementFill(*element_, bytes.toStdString());
    if (kept.size() != static_cast<size_t>(bytes.size())) {
      const int caret = fillEdit_->cursorPosition();
      fillEdit_->setText(ByteText(kept));
      fillEdit_->setCursorPosition(std::min(caret, static_cast<int>(kept.size())));
    }
  });
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
