#include "kavex/gui/data_memo.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "kavex/formats/text_file.h"

namespace kavex {
namespace {

// The text document takes a CR for a line break; inside a line it is shown as the
// control picture for CR and turned back into the byte when read.
constexpr char16_t kCrPicture = u'\u240D';

}  // namespace

DataMemo::DataMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName(QStringLiteral("DataMemo1"));
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setWordWrapMode(QTextOption::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // Tab leaves the view as in every other control; Ctrl+Tab types a tab character.
  setTabChangesFocus(true);
  document()->setModified(false);
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
  std::vector<std::string> lines;
  const QTextDocument* doc = document();
  lines.reserve(static_cast<size_t>(doc->blockCount()));
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
    lines.push_back(FromDisplay(b.text()));
  // Like the lines of a text file, a final empty line is the end of the one before it.
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

size_t DataMemo::LineCount() const {
  const QTextDocument* doc = document();
  auto n = static_cast<size_t>(doc->blockCount());
  if (doc->lastBlock().text().isEmpty()) --n;
  return n;
}

void DataMemo::SetLines(const std::vector<std::string>& lines) {
  setPlainText(ToDisplay(JoinLines(lines)));
  document()->setModified(true);
}

void DataMemo::AppendLine(const std::string& line) {
  AppendLines({line});
}

void DataMemo::AppendLines(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  size_t size = 1;
  for (const std::string& line : lines) size += line.size() + 1;
  QString text;
  text.reserve(static_cast<qsizetype>(size));
  if (!document()->lastBlock().text().isEmpty()) text += QLatin1Char('\n');
  for (const std::string& line : lines) {
    text += ToDisplay(line);
    text += QLatin1Char('\n');
  }
  // One insertion for the lot: the document lays out and signals once, not once a line.
  // Lines the program adds are no typing to undo; keeping them for undo costs a third of
  // the time and memory of a large result.
  QTextDocument* doc = document();
  doc->setUndoRedoEnabled(false);
  QTextCursor cursor(doc);
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text);
  doc->setUndoRedoEnabled(true);
  doc->setModified(true);
}

void DataMemo::ClearLines() {
  clear();
  document()->setModified(true);
}

bool DataMemo::Modified() const {
  return document()->isModified();
}

void DataMemo::SetModified(bool modified) {
  document()->setModified(modified);
}

void DataMemo::SetFileLabel(const std::string& label) {
  if (fileLabel_) fileLabel_->setText(QFile::decodeName(QByteArray::fromStdString(label)));
}

qsizetype DataMemo::Room() const {
  const qsizetype used = document()->characterCount() - 1;
  const qsizetype selected = textCursor().selectedText().size();
  return static_cast<qsizetype>(kDataViewCharLimit) - (used - selected);
}

void DataMemo::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::ControlModifier && !isReadOnly()) {
    if (Room() < 1) {
      QApplication::beep();
      return;
    }
    insertPlainText(QStringLiteral("\t"));
    return;
  }
  // Ctrl+Y redoes as Ctrl+Shift+Z does, for those used to it.
  if (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier && !isReadOnly()) {
    redo();
    return;
  }
  const QString text = event->text();
  const bool inserts = !text.isEmpty() && (text.at(0).isPrint() || text == QLatin1String("\r") ||
                                           text == QLatin1String("\t"));
  if (inserts && !isReadOnly() && text.size() > Room()) {
    QApplication::beep();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void DataMemo::insertFromMimeData(const QMimeData* source) {
  if (!source->hasText()) return;
  QString text = source->text();
  const qsizetype room = Room();
  if (text.size() > room) {
    QApplication::beep();
    if (room <= 0) return;
    text.truncate(room);
  }
  insertPlainText(text);
}

}  // namespace kavex
