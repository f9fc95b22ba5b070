#include "kavex/shell/data_text.h"

#include <algorithm>
#include <cstring>

namespace kavex {

DataText::DataText(size_t charLimit) : limit_(charLimit), lines_(1) {}

TextPos DataText::Clamp(TextPos pos) const {
  pos.line = std::min(pos.line, lines_.size() - 1);
  pos.column = std::min(pos.column, lines_[pos.line].size());
  return pos;
}

size_t DataText::DataLineCount() const {
  return lines_.back().empty() ? lines_.size() - 1 : lines_.size();
}

std::vector<std::string> DataText::DataLines() const {
  return {lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(DataLineCount())};
}

void DataText::SetDataLines(const std::vector<std::string>& lines) {
  const LinesChange change{0, lines_.size(), lines.size() + 1};
  lines_.clear();
  lines_.reserve(lines.size() + 1);
  size_ = 0;
  for (const std::string& line : lines) {
    lines_.push_back(line);
    size_ += line.size() + 1;
  }
  lines_.emplace_back();
  Forget();
  Changed(change);
}

void DataText::AppendDataLines(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  // The lines go where the final empty line is, or after a last line typed without its end.
  size_t first = lines_.size() - 1;
  size_t removed = 1;
  if (!lines_.back().empty()) {
    ++first;
    removed = 0;
    lines_.emplace_back();
    ++size_;
  }
  lines_.pop_back();
  lines_.reserve(lines_.size() + lines.size() + 1);
  for (const std::string& line : lines) {
    lines_.push_back(line);
    size_ += line.size() + 1;
  }
  lines_.emplace_back();
  Forget();
  Changed({first, removed, lines.size() + 1});
}

std::string DataText::Text(TextPos from, TextPos to) const {
  from = Clamp(from);
  to = Clamp(to);
  if (to < from) std::swap(from, to);
  if (from.line == to.line) return lines_[from.line].substr(from.column, to.column - from.column);
  std::string out = lines_[from.line].substr(from.column);
  for (size_t l = from.line + 1; l < to.line; ++l) {
    out.push_back('\n');
    out += lines_[l];
  }
  out.push_back('\n');
  out.append(lines_[to.line], 0, to.column);
  return out;
}

size_t DataText::Room(TextPos from, TextPos to) const {
  const size_t after = size_ - Text(from, to).size();
  return after >= limit_ ? 0 : limit_ - after;
}

TextPos DataText::EndOf(TextPos at, std::string_view text) {
  const size_t breaks = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  if (breaks == 0) return {at.line, at.column + text.size()};
  return {at.line + breaks, text.size() - text.rfind('\n') - 1};
}

TextPos DataText::Apply(TextPos from, TextPos to, std::string_view text) {
  const size_t removedLines = to.line - from.line + 1;
  // A change that starts at the end of a line with a line feed leaves that line as it was.
  const bool keepsHead = from == to && from.column == lines_[from.line].size() && !text.empty() &&
                         text.front() == '\n';
  size_ -= Text(from, to).size();
  size_ += text.size();
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string_view::npos; start = nl + 1)
    pieces.emplace_back(text.substr(start, nl - start));
  pieces.emplace_back(text.substr(start));
  pieces.front().insert(0, lines_[from.line], 0, from.column);
  pieces.back().append(lines_[to.line], to.column);
  // Lines kept in number are assigned in place; only the difference moves the rest.
  const size_t common = std::min(removedLines, pieces.size());
  for (size_t i = 0; i < common; ++i) lines_[from.line + i] = std::move(pieces[i]);
  const auto after = lines_.begin() + static_cast<std::ptrdiff_t>(from.line + common);
  if (removedLines > common) {
    lines_.erase(after, after + static_cast<std::ptrdiff_t>(removedLines - common));
  } else if (pieces.size() > common) {
    lines_.insert(after,
                  std::make_move_iterator(pieces.begin() + static_cast<std::ptrdiff_t>(common)),
                  std::make_move_iterator(pieces.end()));
  }
  modified_ = true;
  if (keepsHead) {
    Changed({from.line + 1, 0, pieces.size() - 1});
  } else {
    Changed({from.line, removedLines, pieces.size()});
  }
  return EndOf(from, text);
}

TextPos DataText::Replace(TextPos from, TextPos to, std::string_view text, bool typing) {
  from = Clamp(from);
  to = Clamp(to);
  if (to < from) std::swap(from, to);
  if (from == to && text.empty()) return from;
  Edit edit{from, Text(from, to), std::string(text)};
  const TextPos end = Apply(from, to, text);
  edits_.resize(done_);
  if (clean_ > done_) cleanKnown_ = false;
  const bool joins = typing && typing_ && done_ > 0 && edit.removed.empty() &&
                     EndOf(edits_.back().at, edits_.back().inserted) == from &&
                     edits_.back().removed.empty() && text.find('\n') == std::string_view::npos &&
                     !(cleanKnown_ && clean_ == done_);
  if (joins) {
    edits_.back().inserted += text;
  } else {
    edits_.push_back(std::move(edit));
    ++done_;
  }
  typing_ = typing;
  return end;
}

TextPos DataText::Undo() {
  typing_ = false;
  if (!CanUndo()) return End();
  const Edit& e = edits_[--done_];
  const TextPos end = Apply(e.at, EndOf(e.at, e.inserted), e.removed);
  modified_ = !(cleanKnown_ && clean_ == done_);
  return end;
}

TextPos DataText::Redo() {
  typing_ = false;
  if (!CanRedo()) return End();
  const Edit& e = edits_[done_++];
  const TextPos end = Apply(e.at, EndOf(e.at, e.removed), e.inserted);
  modified_ = !(cleanKnown_ && clean_ == done_);
  return end;
}

void DataText::SetModified(bool modified) {
  modified_ = modified;
  clean_ = done_;
  cleanKnown_ = !modified;
  typing_ = false;
}

void DataText::Changed(const LinesChange& change) {
  if (onChange) onChange(change);
}

void DataText::Forget() {
  // Lines the program puts in are no typing to undo, and the edits before them no longer
  // fit the text.
  edits_.clear();
  done_ = 0;
  clean_ = 0;
  cleanKnown_ = false;
  typing_ = false;
  modified_ = true;
}

}  // namespace kavex
