#include "kavex/gui/message_box_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "kavex/shell/prompts.h"

namespace kavex {

TMBoxDlg::TMBoxDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TMBoxDlg"));
  setWindowTitle(QStringLiteral("Kavex"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  text_ = new QLabel(this);
  text_->setWordWrap(true);
  text_->setAlignment(Qt::AlignCenter);
  text_->setTextFormat(Qt::PlainText);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  cancel_ = new QPushButton(QStringLiteral("CANCEL"), this);
  yes_ = new QPushButton(QStringLiteral("YES"), this);
  no_ = new QPushButton(QStringLiteral("NO"), this);
  connect(ok_, &QPushButton::clicked, this, [this] { done(kResultOk); });
  connect(cancel_, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  connect(yes_, &QPushButton::clicked, this, [this] { done(kResultYes); });
  connect(no_, &QPushButton::clicked, this, [this] { done(kResultNo); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton* b : {yes_, no_, ok_, cancel_}) buttons->addWidget(b);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_, 1);
  layout->addLayout(buttons);
  Setup(QString(), kModeMessage);
}

int TMBoxDlg::WidthFor(int characters, int mode) {
  const int width = 6 * characters + 35;
  if (mode == kModeMessage && width <= 74) return 200;
  if (mode == kModeConfirmation && width < 200) return 250;
  if (mode == kModeQuestion && width <= 324) return 375;
  return width;
}

void TMBoxDlg::Setup(const QString& text, int mode, const QString& caption) {
  mode_ = mode;
  setWindowTitle(caption);
  text_->setText(text);
  yes_->setVisible(mode == kModeQuestion);
  no_->setVisible(mode == kModeQuestion);
  ok_->setVisible(mode != kModeQuestion);
  cancel_->setVisible(mode != kModeMessage);
  QPushButton* first = mode == kModeQuestion ? yes_ : ok_;
  for (QPushButton* b : {yes_, no_, ok_, cancel_}) b->setDefault(b == first);
  first->setFocus();

  // A reason under the message is a line of its own: the longest line sets the width.
  qsizetype longest = 0;
  for (const QStringView line : QStringView(text).split(QLatin1Char('\n')))
    longest = std::max(longest, line.size());
  int width = WidthFor(static_cast<int>(longest), mode);
  // A very long text wraps instead of running off the screen.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    width = std::min(width, std::max(200, screen->availableGeometry().width() - 40));
  setFixedWidth(width);
  const int height = layout() ? layout()->totalHeightForWidth(width) : kHeight;
  setFixedHeight(std::max(kHeight, height));
}

QString TMBoxDlg::Text() const {
  return text_->text();
}

void TMBoxDlg::reject() {
  done(kResultCancel);
}

}  // namespace kavex
