#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPoint>
#include <QString>
#include <string>
#include <vector>

#include "kavex/shell/data_text.h"
#include "kavex/shell/data_view.h"

class QLabel;
class QMenu;

namespace kavex {

// DataMemo1: the editable view of the current data. Each byte is shown as its Latin-1
// character, so whatever came from a file or an instrument goes back out unchanged. It keeps
// its own lines and paints only those in sight, so that a drawing of millions of lines
// comes in at once.
class DataMemo : public QAbstractScrollArea, public DataView {
  Q_OBJECT
 public:
  explicit DataMemo(QWidget* parent = nullptr);

  // The CurrFilePass label that SetFileLabel writes.
  void SetFileLabelWidget(QLabel* label) { fileLabel_ = label; }

  std::vector<std::string> Lines() const override;
  size_t LineCount() const override;
  void SetLines(const std::vector<std::string>& lines) override;
  void AppendLine(const std::string& line) override;
  void AppendLines(const std::vector<std::string>& lines) override;
  void ClearLines() override;
  bool Modified() const override;
  void SetModified(bool modified) override;
  void SetFileLabel(const std::string& label) override;

  // One line's bytes (0 to LineCount() - 1).
  const std::string& LineAt(size_t line) const { return text_.Line(line); }
  // Characters held, line feeds included, as the limit counts them.
  size_t CharacterCount() const { return text_.Size(); }
  int CursorLine() const { return static_cast<int>(caret_.line); }
  TextPos Cursor() const { return caret_; }
  // Moves the caret, without a selection, and brings it into sight.
  void MoveCursor(TextPos pos);
  // Selects the text of a line and brings it into sight.
  void SelectLine(int line);
  QString SelectedText() const;

  bool isReadOnly() const { return readOnly_; }
  void setReadOnly(bool readOnly);

  // Bytes to what the view shows and back.
  static QString ToDisplay(const std::string& bytes);
  static std::string FromDisplay(const QString& text);

 public slots:
  void undo();
  void redo();
  void cut();
  void copy();
  void paste();
  void selectAll();

 signals:
  // The caret went to another line.
  void cursorLineChanged(int line);
  // Lines [first, first + removed) of the text became [first, first + added); the text
  // counts a final empty line (the end of the last data line).
  void linesChanged(int first, int removed, int added);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void changeEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 public:
  enum class Motion {
    kLeft,
    kRight,
    kUp,
    kDown,
    kPageUp,
    kPageDown,
    kHome,
    kEnd,
    kTop,
    kBottom,
    kWordLeft,
    kWordRight
  };

 private:
  friend class DataMemoAccessible;
  static constexpr int kMargin = 4;  // pixels around the text, as a text document keeps

  bool HasSelection() const { return anchor_ != caret_; }
  TextPos SelectionStart() const { return std::min(anchor_, caret_); }
  TextPos SelectionEnd() const { return std::max(anchor_, caret_); }
  // Typed or pasted bytes in place of the selection, within the limit: typing beyond it
  // beeps and puts nothing in, a paste is cut to the room left.
  void Insert(const std::string& bytes, bool typing);
  void DeleteSelection();
  void SetCaret(TextPos pos, bool keepAnchor);
  void AfterEdit(TextPos caret);
  void TellCaret();  // to an assistive tool, when one listens
  bool HandleKey(QKeyEvent* event, bool onlyAsk);
  TextPos MovedCaret(Motion motion) const;

  // Layout: a fixed-pitch cell per character, tabs to the next multiple of kTabColumns.
  int Columns(size_t line, size_t column) const;  // display column of a byte
  size_t ColumnToByte(size_t line, int column) const;
  int VisibleLines() const;
  int Pixels(int columns) const;
  TextPos PosAt(const QPoint& point) const;
  int LineWidth(const std::string& line) const;
  void UpdateScrollBars();
  void EnsureCaretVisible();
  void RestartBlink();
  QMenu* MakeContextMenu();

  DataText text_;
  TextPos caret_;
  TextPos anchor_;
  size_t preferredColumn_ = 0;  // where Up and Down aim, in display columns
  bool keepPreferred_ = false;
  int widest_ = 0;  // display columns of the widest line seen
  bool readOnly_ = false;
  bool caretShown_ = true;
  bool dragging_ = false;
  qreal charWidth_ = 8;
  int lineHeight_ = 16;
  int ascent_ = 12;
  QBasicTimer blink_;
  static constexpr int kAutoScrollMs = 50;
  QBasicTimer autoScroll_;     // while a drag is held above or below the text
  QPoint dragAt_;              // where the drag is, in the viewport
  QElapsedTimer tripleClick_;  // since the last double click
  QPoint doubleClickAt_;
  QLabel* fileLabel_ = nullptr;
};

}  // namespace kavex
