#pragma once

#include <QTextBrowser>
#include <filesystem>

namespace ulvo {

// The help window's view: help pages of the program folder, links followed inside it.
class CHelpView : public QTextBrowser {
  Q_OBJECT
 public:
  explicit CHelpView(std::filesystem::path programFolder, QWidget* parent = nullptr);

  // Shows the page; a page that does not exist leaves the view empty.
  void Navigate(const QString& path);
  const std::filesystem::path& ProgramFolder() const { return programFolder_; }
  QSize sizeHint() const override { return {640, 480}; }

 private:
  std::filesystem::path programFolder_;
};

}  // namespace ulvo
