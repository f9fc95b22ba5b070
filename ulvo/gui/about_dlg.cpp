#include "ulvo/gui/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ulvo/gui/pictures.h"
#include "ulvo/gui/ui_text.h"

namespace ulvo {

QString FileVersion() {
  return QStringLiteral(ULVO_FILE_VERSION);
}
QString LegalCopyright() {
  return QStringLiteral(ULVO_LEGAL_COPYRIGHT);
}

CAboutDlg::CAboutDlg(const Translations& texts, QWidget* parent) : QDialog(parent) {
  setWindowTitle(UiText(texts, "AB_TITLE", "About ULVO"));
  auto* layout = new QHBoxLayout(this);
  const QPixmap picture = ProgramPicture();
  if (!picture.isNull()) {
    auto* label = new QLabel(this);
    label->setPixmap(picture.scaledToWidth(200, Qt::SmoothTransformation));
    label->setAlignment(Qt::AlignTop);
    layout->addWidget(label);
  }
  auto* right = new QVBoxLayout;
  version_ = new QLineEdit(FileVersion(), this);
  legal_ = new QLineEdit(LegalCopyright(), this);
  for (QLineEdit* field : {version_, legal_}) {
    field->setReadOnly(true);
    field->setFrame(false);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(field->text()) + 16);
    right->addWidget(field);
  }
  right->addStretch();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  right->addWidget(buttons);
  layout->addLayout(right);
}

QString CAboutDlg::VersionText() const {
  return version_->text();
}
QString CAboutDlg::LegalText() const {
  return legal_->text();
}

}  // namespace ulvo
