#include "kavex/gui/path_field.h"

#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace kavex {

PathField::PathField(QWidget* parent) : QLineEdit(parent) {
  setReadOnly(true);
  setFocusPolicy(Qt::NoFocus);
}

void PathField::SetPath(const QString& path) {
  path_ = path;
  setToolTip(path);
  Elide();
}

void PathField::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  Elide();
}

void PathField::Elide() {
  QStyleOptionFrame option;
  initStyleOption(&option);
  // The line edit keeps a small margin on each side of its text inside the contents.
  const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
  const int width = contents.width() - textMargins().left() - textMargins().right() - 4;
  setText(fontMetrics().elidedText(path_, Qt::ElideMiddle, std::max(0, width)));
  setCursorPosition(0);
}

}  // namespace kavex
