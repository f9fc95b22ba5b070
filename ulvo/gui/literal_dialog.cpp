#include "ulvo/gui/literal_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cctype>

#include "ulvo/engine/format_design.h"
#include "ulvo/gui/design_texts.h"

namespace ulvo {

QString LiteralDialog::ListText(const LiteralDefinition& literal) {
  const std::string& text = literal.Text();
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

LiteralDialog::LiteralDialog(const TranslateText& translate, QWidget* parent)
    : QGroupBox(translate("IDC_LITERAL", "Literal"), parent), translate_(translate) {
  setObjectName("LiteralDialog");
  textEdit_ = new QLineEdit(this);
  textEdit_->setObjectName("IDC_LITERAL_TEXT");
  hexCheck_ = new QCheckBox(translate("IDC_LITERAL_HEX_CHK", "Hexadecimal"), this);
  hexCheck_->setObjectName("IDC_LITERAL_HEX_CHK");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(textEdit_);
  layout->addWidget(hexCheck_);
  layout->addStretch();

  connect(hexCheck_, &QCheckBox::clicked, this, [this](bool checked) {
    if (!literal_) return;
    EditLiteralHex(*literal_, checked);
    textEdit_->setText(ListText(*literal_));
    emit TextChanged(ListText(*literal_));
  });
  connect(textEdit_, &QLineEdit::textEdited, this, [this](const QString& typed) {
    if (!literal_) return;
    // A character without a byte is refused and named, never stored as something else.
    QString text;
    int caret = textEdit_->cursorPosition();
    char32_t refused = 0;
    const std::u32string characters = typed.toStdU32String();
    int position = 0;
    for (char32_t c : characters) {
      const QString piece = QString::fromUcs4(&c, 1);
      if (c > 0xFF) {
        if (!refused) refused = c;
        if (position < textEdit_->cursorPosition()) caret -= static_cast<int>(piece.size());
      } else {
        text += piece;
      }
      position += static_cast<int>(piece.size());
    }
    if (refuse_) refuse_(refused ? ByteRefusal(translate_, refused) : QString());
    if (refused) {
      textEdit_->setText(text);
      textEdit_->setCursorPosition(caret);
    }
    bool cleaned = false;
    const QByteArray bytes = text.toLatin1();
    const std::string kept = EditLiteralText(*literal_, bytes.toStdString(), &cleaned);
    if (cleaned) {
      // The caret stays after the characters it followed that were kept.
      const int at = textEdit_->cursorPosition();
      int keptBefore = 0;
      for (int i = 0; i < at && i < text.size(); ++i) {
        if (std::isxdigit(static_cast<unsigned char>(bytes[i]))) ++keptBefore;
      }
      textEdit_->setText(QString::fromLatin1(kept.data(), static_cast<qsizetype>(kept.size())));
      textEdit_->setCursorPosition(keptBefore);
    }
    emit TextChanged(ListText(*literal_));
  });
}

void LiteralDialog::Fill(LiteralDefinition* literal) {
  literal_ = nullptr;
  if (!literal) return;
  textEdit_->setText(ListText(*literal));
  hexCheck_->setChecked(literal->Hex());
  literal_ = literal;
}

}  // namespace ulvo
