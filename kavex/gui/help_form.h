#pragma once

#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace kavex {

// The manual's window, opened by "&Contents": the HTML pages of the help folder with
// Contents, Back and Forward. Links to other sites go to the desktop's browser.
class THelpForm : public QWidget {
  Q_OBJECT
 public:
  explicit THelpForm(QWidget* parent = nullptr);

  // Shows the page (a file path) and brings the window forward.
  void ShowPage(const QString& path);
  QTextBrowser* Browser() const { return browser_; }
  QSize sizeHint() const override { return {760, 620}; }

 private:
  QTextBrowser* browser_;
  QToolButton* contents_;
  QToolButton* back_;
  QToolButton* forward_;
  QString home_;
};

}  // namespace kavex
