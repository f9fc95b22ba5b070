#pragma once

#include <QGroupBox>
#include <vector>

#include "ulvo/engine/definition_model.h"
#include "ulvo/engine/identifier_list.h"
#include "ulvo/gui/design_texts.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ulvo {

class IdNameCombo;

// The item panel for an element: every change is stored in the item at once.
class ElementDialog : public QGroupBox {
  Q_OBJECT

 public:
  ElementDialog(const std::vector<IdName>& elements, const TranslateText& translate,
                QWidget* parent = nullptr);

  // Shows the item's fields; showing changes nothing.
  void Fill(ElementDefinition* element);
  // Where an edit the panel refuses is explained.
  void SetRefusalSink(ShowRefusal refuse) { refuse_ = std::move(refuse); }

  IdNameCombo* IdCombo() const { return idCombo_; }
  QLineEdit* WidthEdit() const { return widthEdit_; }
  QComboBox* AlignCombo() const { return alignCombo_; }
  QLineEdit* FillEdit() const { return fillEdit_; }
  QLineEdit* OffsetEdit() const { return offsetEdit_; }
  QCheckBox* SignCheck() const { return signCheck_; }

 signals:
  // The identifier changed: the item's list text becomes the chosen name.
  void IdChanged(const QString& name);

 private:
  void Refuse(const QString& text) const;

  TranslateText translate_;
  ShowRefusal refuse_;
  ElementDefinition* element_ = nullptr;
  IdNameCombo* idCombo_ = nullptr;
  QLineEdit* widthEdit_ = nullptr;
  QComboBox* alignCombo_ = nullptr;
  QLineEdit* fillEdit_ = nullptr;
  QLineEdit* offsetEdit_ = nullptr;
  QCheckBox* signCheck_ = nullptr;
};

}  // namespace ulvo
