#include "ulvo/gui/help_view.h"

#include <QFileInfo>
#include <QUrl>

#include "ulvo/shell/help_pages.h"

namespace ulvo {

CHelpView::CHelpView(std::filesystem::path programFolder, QWidget* parent)
    : QTextBrowser(parent), programFolder_(std::move(programFolder)) {
  setOpenExternalLinks(true);
  setSearchPaths({QString::fromStdString(HelpFolder(programFolder_).string())});
  setMinimumSize(420, 320);
}

void CHelpView::Navigate(const QString& path) {
  const QFileInfo page(path);
  if (page.isFile()) {
    setSource(QUrl::fromLocalFile(page.absoluteFilePath()));
  } else {
    setSource(QUrl());
    clear();
  }
}

}  // namespace ulvo
