#include "kavex/gui/save_current_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "kavex/gui/path_field.h"
#include "kavex/shell/prompts.h"

namespace kavex {

TCrrSaveDlg1::TCrrSaveDlg1(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TCrrSaveDlg1"));
  setWindowTitle(QStringLiteral("Save current "));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  text_ = new QLabel(QStringLiteral("Current data are saved as :"), this);
  name_ = new PathField(this);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  cancel_ = new QPushButton(QStringLiteral("CANCEL"), this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, [this] { done(kResultOk); });
  connect(cancel_, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(name_);
  layout->addLayout(buttons);
  name_->setMinimumWidth(name_->fontMetrics().averageCharWidth() * kPathFieldCharacters);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TCrrSaveDlg1::Setup(const QString& caption, const QString& name) {
  setWindowTitle(caption);
  name_->SetPath(name);
  ok_->setFocus();
}

}  // namespace kavex
