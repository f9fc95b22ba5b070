#include "kavex/gui/data_memo.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "kavex/gui/data_memo_accessible.h"

namespace kavex {
namespace {

// Inside a line a CR is shown as the control picture for CR and turned back into the byte
// when read.
constexpr char16_t kCrPicture = u'\u240D';
constexpr int kTabColumns = 8;

bool IsWordByte(unsigned char b) {
  return b == '_' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
         b >= 0xC0;
}

using Motion = DataMemo::Motion;

// The caret moves the keys make, alone and with Shift held.
struct MotionKey {
  QKeySequence::StandardKey move;
  QKeySequence::StandardKey select;
  Motion motion;
};
constexpr MotionKey kMotionKeys[] = {
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Motion::kLeft},
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Motion::kRight},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Motion::kUp},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Motion::kDown},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Motion::kPageUp},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Motion::kPageDown},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Motion::kHome},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Motion::kEnd},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Motion::kTop},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Motion::kBottom},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Motion::kWordLeft},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Motion::kWordRight},
};

// Pasted text as bytes: every kind of line break becomes a line feed.
std::string FromPasted(const QString& text) {
  QString t = text;
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return DataMemo::FromDisplay(t);
}

}  // namespace

DataMemo::DataMemo(QWidget* parent) : QAbstractScrollArea(parent), text_(kDataViewCharLimit) {
  // Before the first accessibility event, which makes Qt choose this widget's interface.
  static const bool accessible = [] {
    QAccessible::installFactory(&DataMemoAccessible::Factory);
    return true;
  }();
  (void)accessible;
  setObjectName(QStringLiteral("DataMemo1"));
  setAccessibleName(QStringLiteral("Current data"));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_KeyCompression);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_.onChange = [this](const LinesChange& c) {
    for (size_t l = c.first; l < c.first + c.added && l < text_.LineCount(); ++l)
      widest_ = std::max(widest_, LineWidth(text_.Line(l)));
    UpdateScrollBars();
    viewport()->update();
    emit linesChanged(static_cast<int>(c.first), static_cast<int>(c.removed),
                      static_cast<int>(c.added));
  };
  text_.SetModified(false);
}

QString DataMemo::ToDisplay(const std::string& bytes) {
  QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* p = out.data();
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    *p++ = b == '\r' ? QChar(kCrPicture) : QChar(b);
  }
  return out;
}

std::string DataMemo::FromDisplay(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == kCrPicture) {
      out.push_back('\r');
    } else if (u == QChar::ParagraphSeparator || u == QChar::LineSeparator) {
      out.push_back('\n');
    } else {
      out.push_back(u < 256 ? static_cast<char>(u) : '?');
    }
  }
  return out;
}

std::vector<std::string> DataMemo::Lines() const {
  return text_.DataLines();
}

size_t DataMemo::LineCount() const {
  return text_.DataLineCount();
}

void DataMemo::SetLines(const std::vector<std::string>& lines) {
  widest_ = 0;
  const size_t before = caret_.line;
  caret_ = anchor_ = {};
  text_.SetDataLines(lines);
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  AfterEdit({});
  if (before != 0) emit cursorLineChanged(0);
}

void DataMemo::AppendLine(const std::string& line) {
  AppendLines({line});
}

void DataMemo::AppendLines(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  // A caret at the end stays at the end, after the new lines.
  const bool caretAtEnd = caret_ == text_.End();
  const bool anchorAtEnd = anchor_ == text_.End();
  text_.AppendDataLines(lines);
  if (caretAtEnd) caret_ = text_.End();
  if (anchorAtEnd) anchor_ = text_.End();
  if (caretAtEnd) emit cursorLineChanged(CursorLine());
}

void DataMemo::ClearLines() {
  SetLines({});
}

bool DataMemo::Modified() const {
  return text_.Modified();
}

void DataMemo::SetModified(bool modified) {
  text_.SetModified(modified);
}

void DataMemo::SetFileLabel(const std::string& label) {
  if (fileLabel_) fileLabel_->setText(QFile::decodeName(QByteArray::fromStdString(label)));
}

void DataMemo::MoveCursor(TextPos pos) {
  SetCaret(text_.Clamp(pos), false);
}

void DataMemo::SelectLine(int line) {
  if (line < 0 || static_cast<size_t>(line) >= text_.LineCount()) return;
  const auto l = static_cast<size_t>(line);
  anchor_ = {l, 0};
  SetCaret({l, text_.Line(l).size()}, true);
}

QString DataMemo::SelectedText() const {
  return ToDisplay(text_.Text(SelectionStart(), SelectionEnd()));
}

void DataMemo::setReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  viewport()->update();
}

void DataMemo::undo() {
  if (readOnly_ || !text_.CanUndo()) return;
  AfterEdit(text_.Undo());
}

void DataMemo::redo() {
  if (readOnly_ || !text_.CanRedo()) return;
  AfterEdit(text_.Redo());
}

void DataMemo::cut() {
  if (readOnly_ || !HasSelection()) return;
  copy();
  DeleteSelection();
}

void DataMemo::copy() {
  if (HasSelection()) QGuiApplication::clipboard()->setText(SelectedText());
}

void DataMemo::paste() {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  if (readOnly_ || !mime || !mime->hasText()) return;
  Insert(FromPasted(mime->text()), false);
}

void DataMemo::selectAll() {
  anchor_ = {};
  SetCaret(text_.End(), true);
}

void DataMemo::Insert(const std::string& bytes, bool typing) {
  if (readOnly_) return;
  std::string in = bytes;
  const size_t room = text_.Room(SelectionStart(), SelectionEnd());
  if (in.size() > room) {
    QApplication::beep();
    if (typing || room == 0) return;
    in.resize(room);
  }
  AfterEdit(text_.Replace(SelectionStart(), SelectionEnd(), in, typing));
}

void DataMemo::DeleteSelection() {
  if (readOnly_ || !HasSelection()) return;
  AfterEdit(text_.Replace(SelectionStart(), SelectionEnd(), ""));
}

void DataMemo::SetCaret(TextPos pos, bool keepAnchor) {
  const size_t before = caret_.line;
  caret_ = pos;
  if (!keepAnchor) anchor_ = pos;
  if (!keepPreferred_) preferredColumn_ = static_cast<size_t>(Columns(caret_.line, caret_.column));
  text_.BreakTyping();
  EnsureCaretVisible();
  RestartBlink();
  viewport()->update();
  TellCaret();
  if (caret_.line != before) emit cursorLineChanged(CursorLine());
}

void DataMemo::TellCaret() {
  if (!QAccessible::isActive()) return;
  DataMemoAccessible a(this);
  QAccessibleTextCursorEvent event(this, a.cursorPosition());
  QAccessible::updateAccessibility(&event);
}

void DataMemo::AfterEdit(TextPos caret) {
  const size_t before = caret_.line;
  caret_ = anchor_ = text_.Clamp(caret);
  preferredColumn_ = static_cast<size_t>(Columns(caret_.line, caret_.column));
  EnsureCaretVisible();
  RestartBlink();
  viewport()->update();
  TellCaret();
  if (caret_.line != before) emit cursorLineChanged(CursorLine());
}

TextPos DataMemo::MovedCaret(Motion motion) const {
  TextPos p = caret_;
  const auto line = [this](size_t l) -> const std::string& { return text_.Line(l); };
  const auto vertical = [&](long lines) {
    const long target =
        std::clamp(static_cast<long>(p.line) + lines, 0L, static_cast<long>(text_.LineCount()) - 1);
    p.line = static_cast<size_t>(target);
    p.column = ColumnToByte(p.line, static_cast<int>(preferredColumn_));
  };
  switch (motion) {
    case Motion::kLeft:
      if (p.column > 0) {
        --p.column;
      } else if (p.line > 0) {
        --p.line;
        p.column = line(p.line).size();
      }
      break;
    case Motion::kRight:
      if (p.column < line(p.line).size()) {
        ++p.column;
      } else if (p.line + 1 < text_.LineCount()) {
        ++p.line;
        p.column = 0;
      }
      break;
    case Motion::kUp:
      vertical(-1);
      break;
    case Motion::kDown:
      vertical(1);
      break;
    case Motion::kPageUp:
      vertical(-VisibleLines());
      break;
    case Motion::kPageDown:
      vertical(VisibleLines());
      break;
    case Motion::kHome:
      p.column = 0;
      break;
    case Motion::kEnd:
      p.column = line(p.line).size();
      break;
    case Motion::kTop:
      p = {};
      break;
    case Motion::kBottom:
      p = text_.End();
      break;
    case Motion::kWordLeft: {
      if (p.column == 0) {
        if (p.line > 0) p = {p.line - 1, line(p.line - 1).size()};
        break;
      }
      const std::string& s = line(p.line);
      size_t c = p.column;
      while (c > 0 && !IsWordByte(static_cast<unsigned char>(s[c - 1]))) --c;
      while (c > 0 && IsWordByte(static_cast<unsigned char>(s[c - 1]))) --c;
      p.column = c;
      break;
    }
    case Motion::kWordRight: {
      const std::string& s = line(p.line);
      if (p.column >= s.size()) {
        if (p.line + 1 < text_.LineCount()) p = {p.line + 1, 0};
        break;
      }
      size_t c = p.column;
      while (c < s.size() && IsWordByte(static_cast<unsigned char>(s[c]))) ++c;
      while (c < s.size() && !IsWordByte(static_cast<unsigned char>(s[c]))) ++c;
      p.column = c;
      break;
    }
  }
  return p;
}

bool DataMemo::HandleKey(QKeyEvent* e, bool onlyAsk) {
  const bool edits = !readOnly_;
  const auto run = [onlyAsk](bool allowed, const auto& action) {
    if (!allowed) return false;
    if (!onlyAsk) action();
    return true;
  };
  for (const MotionKey& k : kMotionKeys) {
    const bool select = e->matches(k.select);
    if (!select && !e->matches(k.move)) continue;
    return run(true, [&] {
      // Left and Right without Shift end a selection at its own end.
      if (!select && HasSelection() && (k.motion == Motion::kLeft || k.motion == Motion::kRight)) {
        SetCaret(k.motion == Motion::kLeft ? SelectionStart() : SelectionEnd(), false);
        return;
      }
      const bool vertical = k.motion == Motion::kUp || k.motion == Motion::kDown ||
                            k.motion == Motion::kPageUp || k.motion == Motion::kPageDown;
      const TextPos to = MovedCaret(k.motion);
      if (k.motion == Motion::kPageUp || k.motion == Motion::kPageDown) {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->value() + static_cast<int>(to.line) - static_cast<int>(caret_.line));
      }
      keepPreferred_ = vertical;
      SetCaret(to, select);
      keepPreferred_ = false;
    });
  }
  if (e->matches(QKeySequence::Undo)) return run(edits, [this] { undo(); });
  if (e->matches(QKeySequence::Redo) ||
      (e->key() == Qt::Key_Y && e->modifiers() == Qt::ControlModifier)) {
    // Ctrl+Y redoes as Ctrl+Shift+Z does, for those used to it.
    return run(edits, [this] { redo(); });
  }
  if (e->matches(QKeySequence::Cut)) return run(edits, [this] { cut(); });
  if (e->matches(QKeySequence::Copy)) return run(true, [this] { copy(); });
  if (e->matches(QKeySequence::Paste)) return run(edits, [this] { paste(); });
  if (e->matches(QKeySequence::SelectAll)) return run(true, [this] { selectAll(); });
  const bool wordBack = e->matches(QKeySequence::DeleteStartOfWord);
  const bool wordForward = e->matches(QKeySequence::DeleteEndOfWord);
  if (wordBack || wordForward || e->matches(QKeySequence::Delete) ||
      e->key() == Qt::Key_Backspace) {
    const bool forward = wordForward || (!wordBack && e->key() == Qt::Key_Delete);
    const bool word = wordBack || wordForward;
    return run(edits, [this, forward, word] {
      if (HasSelection()) {
        DeleteSelection();
        return;
      }
      const Motion motion = forward ? (word ? Motion::kWordRight : Motion::kRight)
                                    : (word ? Motion::kWordLeft : Motion::kLeft);
      const TextPos other = MovedCaret(motion);
      if (other == caret_) return;
      AfterEdit(text_.Replace(std::min(other, caret_), std::max(other, caret_), ""));
    });
  }
  if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
      !(e->modifiers() & Qt::ControlModifier)) {
    return run(edits, [this] { Insert("\n", true); });
  }
  // Tab leaves the view as in every other control; Ctrl+Tab types a tab character.
  if (e->key() == Qt::Key_Tab && e->modifiers() == Qt::ControlModifier) {
    return run(edits, [this] { Insert("\t", true); });
  }
  const QString typed = e->text();
  const Qt::KeyboardModifiers mods = e->modifiers();
  const bool command = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
  if (!typed.isEmpty() && typed.at(0).isPrint() && !command) {
    return run(edits, [this, typed] { Insert(FromDisplay(typed), true); });
  }
  return false;
}

bool DataMemo::event(QEvent* e) {
  // Keys the view answers come to it before the window's shortcuts, as in any text box.
  if (e->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(e);
    if (HandleKey(key, true)) {
      key->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(e);
}

void DataMemo::keyPressEvent(QKeyEvent* e) {
  if (HandleKey(e, false)) {
    e->accept();
    return;
  }
  QAbstractScrollArea::keyPressEvent(e);
}

int DataMemo::LineWidth(const std::string& line) const {
  if (std::memchr(line.data(), '\t', line.size()) == nullptr) return static_cast<int>(line.size());
  int col = 0;
  for (const char c : line) col = c == '\t' ? (col / kTabColumns + 1) * kTabColumns : col + 1;
  return col;
}

int DataMemo::Columns(size_t line, size_t column) const {
  const std::string& s = text_.Line(line);
  column = std::min(column, s.size());
  if (std::memchr(s.data(), '\t', column) == nullptr) return static_cast<int>(column);
  int col = 0;
  for (size_t i = 0; i < column; ++i)
    col = s[i] == '\t' ? (col / kTabColumns + 1) * kTabColumns : col + 1;
  return col;
}

size_t DataMemo::ColumnToByte(size_t line, int column) const {
  const std::string& s = text_.Line(line);
  if (column <= 0) return 0;
  if (std::memchr(s.data(), '\t', s.size()) == nullptr)
    return std::min(static_cast<size_t>(column), s.size());
  int col = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const int next = s[i] == '\t' ? (col / kTabColumns + 1) * kTabColumns : col + 1;
    if (column < next) return column - col <= next - column ? i : i + 1;
    col = next;
  }
  return s.size();
}

int DataMemo::Pixels(int columns) const {
  return static_cast<int>(std::ceil(columns * charWidth_));
}

int DataMemo::VisibleLines() const {
  return std::max(1, (viewport()->height() - kMargin) / lineHeight_);
}

TextPos DataMemo::PosAt(const QPoint& point) const {
  const int row = point.y() < kMargin ? -1 : (point.y() - kMargin) / lineHeight_;
  const long line = std::clamp(static_cast<long>(verticalScrollBar()->value()) + row, 0L,
                               static_cast<long>(text_.LineCount()) - 1);
  const int x = point.x() - kMargin + horizontalScrollBar()->value();
  const int column = static_cast<int>(std::floor(x / charWidth_ + 0.5));
  const auto l = static_cast<size_t>(line);
  return {l, ColumnToByte(l, column)};
}

void DataMemo::UpdateScrollBars() {
  const int lines = VisibleLines();
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, static_cast<int>(text_.LineCount()) - lines));
  v->setPageStep(lines);
  v->setSingleStep(1);
  QScrollBar* h = horizontalScrollBar();
  const int width = viewport()->width();
  h->setRange(0, std::max(0, Pixels(widest_ + 1) + 2 * kMargin - width));
  h->setPageStep(width);
  h->setSingleStep(Pixels(1));
}

void DataMemo::EnsureCaretVisible() {
  QScrollBar* v = verticalScrollBar();
  const int line = static_cast<int>(caret_.line);
  if (line < v->value()) {
    v->setValue(line);
  } else if (line >= v->value() + VisibleLines()) {
    v->setValue(line - VisibleLines() + 1);
  }
  QScrollBar* h = horizontalScrollBar();
  const int x = Pixels(Columns(caret_.line, caret_.column));
  const int width = viewport()->width() - 2 * kMargin;
  if (x < h->value()) {
    h->setValue(std::max(0, x - width / 4));
  } else if (x + Pixels(1) > h->value() + width) {
    h->setValue(x + Pixels(1) - width + width / 4);
  }
}

void DataMemo::RestartBlink() {
  caretShown_ = true;
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (hasFocus() && flash > 0) {
    blink_.start(flash / 2, this);
  } else {
    blink_.stop();
  }
}

void DataMemo::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QPalette& pal = palette();
  p.fillRect(viewport()->rect(), pal.brush(QPalette::Base));
  p.setFont(font());
  const int first = verticalScrollBar()->value();
  const int xOffset = horizontalScrollBar()->value();
  const int width = viewport()->width();
  const int firstColumn = std::max(0, static_cast<int>((xOffset - kMargin) / charWidth_));
  const int lastColumn = firstColumn + static_cast<int>(width / charWidth_) + 2;
  const TextPos selStart = SelectionStart();
  const TextPos selEnd = SelectionEnd();
  const int rows = viewport()->height() / lineHeight_ + 1;
  const auto left = [&](int column) { return kMargin + column * charWidth_ - xOffset; };
  for (int row = 0; row < rows; ++row) {
    const auto line = static_cast<size_t>(first + row);
    if (line >= text_.LineCount()) break;
    const int y = kMargin + row * lineHeight_;
    const std::string& s = text_.Line(line);
    // The selection, a cell further where it goes on past the line's end.
    QRectF selection;
    if (HasSelection() && line >= selStart.line && line <= selEnd.line) {
      const int from = line == selStart.line ? Columns(line, selStart.column) : 0;
      const int to = line == selEnd.line ? Columns(line, selEnd.column) : LineWidth(s) + 1;
      selection = QRectF(left(from), y, (to - from) * charWidth_, lineHeight_);
      p.fillRect(selection, pal.brush(QPalette::Highlight));
    }
    // Printable ASCII in runs; every other byte in its own cell, so that a glyph the font
    // lacks cannot shift the columns after it.
    const auto drawLine = [&] {
      const bool tabs = std::memchr(s.data(), '\t', s.size()) != nullptr;
      size_t i = tabs ? 0 : std::min(s.size(), static_cast<size_t>(firstColumn));
      int col = tabs ? 0 : static_cast<int>(i);
      QString run;
      int runStart = col;
      const auto flush = [&] {
        if (!run.isEmpty()) p.drawText(QPointF(left(runStart), y + ascent_), run);
        run.clear();
      };
      for (; i < s.size() && col <= lastColumn; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b == '\t') {
          flush();
          col = (col / kTabColumns + 1) * kTabColumns;
          runStart = col;
          continue;
        }
        if (col + 1 < firstColumn) {
          ++col;
          runStart = col;
          continue;
        }
        if (b >= 0x20 && b < 0x7F) {
          if (run.isEmpty()) runStart = col;
          run.append(QLatin1Char(static_cast<char>(b)));
        } else {
          flush();
          p.drawText(QPointF(left(col), y + ascent_),
                     QString(b == '\r' ? QChar(kCrPicture) : QChar(b)));
        }
        ++col;
      }
      flush();
    };
    p.setPen(pal.color(QPalette::Text));
    drawLine();
    if (!selection.isEmpty()) {
      p.save();
      p.setClipRect(selection);
      p.setPen(pal.color(QPalette::HighlightedText));
      drawLine();
      p.restore();
    }
    if (line == caret_.line && caretShown_ && hasFocus() && !readOnly_) {
      const qreal x = left(Columns(line, caret_.column));
      p.fillRect(QRectF(x, y, std::max(1.0, charWidth_ / 8), lineHeight_),
                 pal.brush(QPalette::Text));
    }
  }
}

void DataMemo::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateScrollBars();
}

void DataMemo::scrollContentsBy(int, int) {
  viewport()->update();
}

void DataMemo::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) {
    const QFontMetrics m(font());
    // The advance a run of characters takes, which may be a fraction of a pixel more than
    // a single character's rounded width.
    charWidth_ = std::max(
        1.0, QFontMetricsF(font()).horizontalAdvance(QString(100, QLatin1Char('x'))) / 100);
    lineHeight_ = std::max(1, m.lineSpacing());
    ascent_ = m.ascent();
    UpdateScrollBars();
    viewport()->update();
  }
}

void DataMemo::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  const QPoint at = e->position().toPoint();
  // A third click soon after a double click selects the whole line, as text boxes do.
  if (tripleClick_.isValid() &&
      !tripleClick_.hasExpired(QGuiApplication::styleHints()->mouseDoubleClickInterval()) &&
      (at - doubleClickAt_).manhattanLength() <
          QGuiApplication::styleHints()->startDragDistance()) {
    tripleClick_.invalidate();
    SelectLine(static_cast<int>(PosAt(at).line));
    return;
  }
  dragging_ = true;
  dragAt_ = at;
  SetCaret(PosAt(at), e->modifiers() & Qt::ShiftModifier);
}

void DataMemo::mouseMoveEvent(QMouseEvent* e) {
  if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return;
  dragAt_ = e->position().toPoint();
  SetCaret(PosAt(dragAt_), true);
  // Held above or below the text, the selection goes on growing as the view scrolls.
  const bool outside = dragAt_.y() < 0 || dragAt_.y() >= viewport()->height();
  if (outside && !autoScroll_.isActive()) autoScroll_.start(kAutoScrollMs, this);
  if (!outside) autoScroll_.stop();
}

void DataMemo::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  dragging_ = false;
  autoScroll_.stop();
}

void DataMemo::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const TextPos at = PosAt(e->position().toPoint());
  const std::string& s = text_.Line(at.line);
  size_t from = at.column;
  size_t to = at.column;
  if (to < s.size() && IsWordByte(static_cast<unsigned char>(s[to]))) {
    while (from > 0 && IsWordByte(static_cast<unsigned char>(s[from - 1]))) --from;
    while (to < s.size() && IsWordByte(static_cast<unsigned char>(s[to]))) ++to;
  } else if (to < s.size()) {
    ++to;
  }
  anchor_ = {at.line, from};
  SetCaret({at.line, to}, true);
  tripleClick_.start();
  doubleClickAt_ = e->position().toPoint();
}

QMenu* DataMemo::MakeContextMenu() {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const auto add = [&](const QString& text, QKeySequence::StandardKey key, bool enabled,
                       void (DataMemo::*slot)()) {
    QAction* a = menu->addAction(text, this, slot);
    a->setShortcut(key);
    a->setEnabled(enabled);
  };
  const bool edits = !readOnly_;
  add(tr("&Undo"), QKeySequence::Undo, edits && text_.CanUndo(), &DataMemo::undo);
  add(tr("&Redo"), QKeySequence::Redo, edits && text_.CanRedo(), &DataMemo::redo);
  menu->addSeparator();
  add(tr("Cu&t"), QKeySequence::Cut, edits && HasSelection(), &DataMemo::cut);
  add(tr("&Copy"), QKeySequence::Copy, HasSelection(), &DataMemo::copy);
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  add(tr("&Paste"), QKeySequence::Paste, edits && mime && mime->hasText(), &DataMemo::paste);
  QAction* del = menu->addAction(tr("Delete"), this, [this] { DeleteSelection(); });
  del->setEnabled(edits && HasSelection());
  menu->addSeparator();
  add(tr("Select All"), QKeySequence::SelectAll, text_.Size() > 0, &DataMemo::selectAll);
  return menu;
}

void DataMemo::contextMenuEvent(QContextMenuEvent* e) {
  MakeContextMenu()->popup(e->globalPos());
}

void DataMemo::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  RestartBlink();
  viewport()->update();
}

void DataMemo::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  blink_.stop();
  viewport()->update();
}

void DataMemo::timerEvent(QTimerEvent* e) {
  if (e->timerId() == autoScroll_.timerId()) {
    if (!dragging_) {
      autoScroll_.stop();
      return;
    }
    // The caret goes to the line just beyond the text in sight, which scrolls it into view.
    SetCaret(PosAt(dragAt_), true);
    return;
  }
  if (e->timerId() != blink_.timerId()) {
    QAbstractScrollArea::timerEvent(e);
    return;
  }
  caretShown_ = !caretShown_;
  const int y =
      kMargin + (static_cast<int>(caret_.line) - verticalScrollBar()->value()) * lineHeight_;
  viewport()->update(QRect(0, y, viewport()->width(), lineHeight_));
}

}  // namespace kavex
