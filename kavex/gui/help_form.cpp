#include "kavex/gui/help_form.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace kavex {

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("THelpForm"));
  setWindowTitle(QStringLiteral("Kavex Help"));
  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(true);
  const auto button = [this](const QString& text, QStyle::StandardPixmap icon) {
    auto* b = new QToolButton(this);
    b->setText(text);
    b->setIcon(style()->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    return b;
  };
  contents_ = button(QStringLiteral("&Contents"), QStyle::SP_DirHomeIcon);
  back_ = button(QStringLiteral("&Back"), QStyle::SP_ArrowBack);
  forward_ = button(QStringLiteral("&Forward"), QStyle::SP_ArrowForward);
  back_->setEnabled(false);
  forward_->setEnabled(false);
  connect(contents_, &QToolButton::clicked, this, [this] { ShowPage(home_); });
  connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Kavex Help")
                                   : QStringLiteral("Kavex Help - ") + title);
  });

  auto* bar = new QHBoxLayout;
  bar->addWidget(contents_);
  bar->addWidget(back_);
  bar->addWidget(forward_);
  bar->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(bar);
  layout->addWidget(browser_, 1);
  resize(sizeHint());
}

void THelpForm::ShowPage(const QString& path) {
  // The first page shown is the one Contents returns to.
  if (home_.isEmpty()) home_ = path;
  browser_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
  show();
  raise();
  activateWindow();
}

}  // namespace kavex
