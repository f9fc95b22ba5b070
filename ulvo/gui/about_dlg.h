#pragma once

#include <QDialog>

#include "ulvo/shell/translations.h"

class QLineEdit;

namespace ulvo {

// The program's own version information, set once in the build.
QString FileVersion();
QString LegalCopyright();

// "About ULVO": the picture, the file version and the legal notice.
class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(const Translations& texts, QWidget* parent = nullptr);

  QString VersionText() const;
  QString LegalText() const;

 private:
  QLineEdit* version_;
  QLineEdit* legal_;
};

}  // namespace ulvo
