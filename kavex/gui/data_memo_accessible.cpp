#include "kavex/gui/data_memo_accessible.h"

#include <QScrollBar>
#include <algorithm>

#include "kavex/gui/data_memo.h"

namespace kavex {

DataMemoAccessible::DataMemoAccessible(DataMemo* memo)
    : QAccessibleWidget(memo, QAccessible::EditableText) {}

QAccessibleInterface* DataMemoAccessible::Factory(const QString& className, QObject* object) {
  if (className != QLatin1String("kavex::DataMemo") || !object || !object->isWidgetType())
    return nullptr;
  return new DataMemoAccessible(static_cast<DataMemo*>(object));
}

DataMemo* DataMemoAccessible::Memo() const {
  return static_cast<DataMemo*>(widget());
}

void* DataMemoAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QAccessible::State DataMemoAccessible::state() const {
  QAccessible::State s = QAccessibleWidget::state();
  s.editable = !Memo()->isReadOnly();
  s.readOnly = Memo()->isReadOnly();
  s.multiLine = true;
  s.selectableText = true;
  return s;
}

TextPos DataMemoAccessible::PosOf(int offset) const {
  const DataText& t = Memo()->text_;
  auto left = static_cast<size_t>(std::max(offset, 0));
  for (size_t l = 0; l < t.LineCount(); ++l) {
    const size_t n = t.Line(l).size();
    if (left <= n) return {l, left};
    left -= n + 1;
  }
  return t.End();
}

int DataMemoAccessible::OffsetOf(TextPos pos) const {
  const DataText& t = Memo()->text_;
  size_t offset = 0;
  for (size_t l = 0; l < pos.line && l < t.LineCount(); ++l) offset += t.Line(l).size() + 1;
  return static_cast<int>(offset + pos.column);
}

void DataMemoAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = 0;
  if (selectionIndex != 0 || !Memo()->HasSelection()) return;
  *startOffset = OffsetOf(Memo()->SelectionStart());
  *endOffset = OffsetOf(Memo()->SelectionEnd());
}

int DataMemoAccessible::selectionCount() const {
  return Memo()->HasSelection() ? 1 : 0;
}

void DataMemoAccessible::addSelection(int startOffset, int endOffset) {
  setSelection(0, startOffset, endOffset);
}

void DataMemoAccessible::removeSelection(int selectionIndex) {
  if (selectionIndex == 0) Memo()->MoveCursor(Memo()->Cursor());
}

void DataMemoAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
  if (selectionIndex != 0) return;
  DataMemo* m = Memo();
  m->anchor_ = PosOf(startOffset);
  m->SetCaret(PosOf(endOffset), true);
}

int DataMemoAccessible::cursorPosition() const {
  return OffsetOf(Memo()->Cursor());
}

void DataMemoAccessible::setCursorPosition(int position) {
  Memo()->MoveCursor(PosOf(position));
}

QString DataMemoAccessible::text(int startOffset, int endOffset) const {
  const int count = characterCount();
  if (endOffset < 0 || endOffset > count) endOffset = count;
  if (startOffset < 0 || startOffset >= endOffset) return {};
  return DataMemo::ToDisplay(Memo()->text_.Text(PosOf(startOffset), PosOf(endOffset)));
}

int DataMemoAccessible::characterCount() const {
  return static_cast<int>(Memo()->text_.Size());
}

QRect DataMemoAccessible::characterRect(int offset) const {
  const DataMemo* m = Memo();
  const TextPos p = PosOf(offset);
  const int row = static_cast<int>(p.line) - m->verticalScrollBar()->value();
  const int x = DataMemo::kMargin + m->Pixels(m->Columns(p.line, p.column)) -
                m->horizontalScrollBar()->value();
  const QRect inViewport(x, DataMemo::kMargin + row * m->lineHeight_, m->Pixels(1), m->lineHeight_);
  return QRect(m->viewport()->mapToGlobal(inViewport.topLeft()), inViewport.size());
}

int DataMemoAccessible::offsetAtPoint(const QPoint& point) const {
  const DataMemo* m = Memo();
  const QPoint local = m->viewport()->mapFromGlobal(point);
  if (!m->viewport()->rect().contains(local)) return -1;
  // PosAt gives the caret place nearest the point; the character under it starts half a
  // cell to the left of that.
  const int half = static_cast<int>(m->charWidth_ / 2);
  return OffsetOf(m->PosAt(local - QPoint(half, 0)));
}

void DataMemoAccessible::scrollToSubstring(int startIndex, int endIndex) {
  DataMemo* m = Memo();
  m->anchor_ = PosOf(startIndex);
  m->SetCaret(PosOf(endIndex), true);
}

QString DataMemoAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
  // One font and colour throughout: a single run of no attributes.
  (void)offset;
  *startOffset = 0;
  *endOffset = characterCount();
  return {};
}

}  // namespace kavex
