#include "kavex/gui/about_box.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "kavex/gui/program_icon.h"
#include "kavex/shell/prompts.h"

namespace kavex {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TAboutBox"));
  setWindowTitle(QStringLiteral("About Kavex"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramPixmap(64));
  auto* name = new QLabel(QStringLiteral("Kavex"), this);
  name->setObjectName(QStringLiteral("ProductName"));
  QFont big = name->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  name->setFont(big);
  auto* version = new QLabel(QStringLiteral("Version " KAVEX_VERSION), this);
  version->setObjectName(QStringLiteral("Version"));
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, [this] { done(kResultOk); });

  auto* texts = new QVBoxLayout;
  texts->addWidget(name);
  texts->addWidget(version);
  texts->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(ok_, 0, Qt::AlignHCenter);
  setFixedSize(280, 160);
}

}  // namespace kavex
