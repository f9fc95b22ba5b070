#pragma once

#include <QGroupBox>

#include "ulvo/engine/definition_model.h"
#include "ulvo/gui/design_texts.h"

class QCheckBox;
class QLineEdit;

namespace ulvo {

// The item panel for a literal: the text, or hexadecimal digits when Hexadecimal is checked.
class LiteralDialog : public QGroupBox {
  Q_OBJECT

 public:
  explicit LiteralDialog(const TranslateText& translate, QWidget* parent = nullptr);

  // Shows the item; showing changes nothing.
  void Fill(LiteralDefinition* literal);
  // Where an edit the panel refuses is explained.
  void SetRefusalSink(ShowRefusal refuse) { refuse_ = std::move(refuse); }

  QLineEdit* TextEdit() const { return textEdit_; }
  QCheckBox* HexCheck() const { return hexCheck_; }

  // What the items list shows for a literal.
  static QString ListText(const LiteralDefinition& literal);

 signals:
  void TextChanged(const QString& listText);

 private:
  TranslateText translate_;
  ShowRefusal refuse_;
  LiteralDefinition* literal_ = nullptr;
  QLineEdit* textEdit_ = nullptr;
  QCheckBox* hexCheck_ = nullptr;
};

}  // namespace ulvo
