#pragma once

#include <QAccessibleWidget>

#include "kavex/shell/data_text.h"

namespace kavex {

class DataMemo;

// What a screen reader asks of the current-data view: its text by character offsets (a line
// feed between lines counts as one), the caret and the selection. Offsets are walked to from
// the first line, which costs nothing until an assistive tool asks.
class DataMemoAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit DataMemoAccessible(DataMemo* memo);

  void* interface_cast(QAccessible::InterfaceType type) override;
  QAccessible::State state() const override;

  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override;
  void addSelection(int startOffset, int endOffset) override;
  void removeSelection(int selectionIndex) override;
  void setSelection(int selectionIndex, int startOffset, int endOffset) override;
  int cursorPosition() const override;
  void setCursorPosition(int position) override;
  QString text(int startOffset, int endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int startIndex, int endIndex) override;
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

  // The accessible interface Qt asks for when it meets a DataMemo.
  static QAccessibleInterface* Factory(const QString& className, QObject* object);

 private:
  DataMemo* Memo() const;
  TextPos PosOf(int offset) const;
  int OffsetOf(TextPos pos) const;
};

}  // namespace kavex
