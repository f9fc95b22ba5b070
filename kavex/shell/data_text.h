#pragma once

#include <compare>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kavex {

// A place in the text: a line and a byte within it (0 to the line's length).
struct TextPos {
  size_t line = 0;
  size_t column = 0;
  auto operator<=>(const TextPos&) const = default;
};

// Lines [first, first + removed) of the text before a change became [first, first + added).
struct LinesChange {
  size_t first = 0;
  size_t removed = 0;
  size_t added = 0;
};

// The text of the current-data view: lines of bytes, the edits typing makes with their undo
// and redo, and the character limit typing and pasting keep to. Like a text document it
// always holds at least one line, and the data lines it was given end with a line feed, so
// a final empty line is the end of the line before it.
class DataText {
 public:
  explicit DataText(size_t charLimit);

  // The text's lines, the final one included even when empty.
  size_t LineCount() const { return lines_.size(); }
  const std::string& Line(size_t line) const { return lines_[line]; }
  // Bytes, a line feed between each two lines counted as one.
  size_t Size() const { return size_; }
  TextPos End() const { return {lines_.size() - 1, lines_.back().size()}; }
  TextPos Clamp(TextPos pos) const;

  // The data lines (without the final empty line) and their replacement; program changes,
  // so they leave nothing to undo.
  size_t DataLineCount() const;
  std::vector<std::string> DataLines() const;
  void SetDataLines(const std::vector<std::string>& lines);
  // Adds lines after the last data line, each with its line feed.
  void AppendDataLines(const std::vector<std::string>& lines);

  // The bytes from one place to another, a line feed between lines.
  std::string Text(TextPos from, TextPos to) const;
  // How much of length bytes can replace [from, to) within the limit.
  size_t Room(TextPos from, TextPos to) const;
  // Replaces [from, to) by text (a line feed in it splits the line) as an edit that undo
  // takes back; typing that continues the last typed insertion joins its undo step.
  // Returns the end of the inserted text.
  TextPos Replace(TextPos from, TextPos to, std::string_view text, bool typing = false);

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < edits_.size(); }
  // Take back or do again one edit; the place after what it put back (End() when there is
  // nothing to do).
  TextPos Undo();
  TextPos Redo();
  // Further typing starts a new undo step (the caret moved away).
  void BreakTyping() { typing_ = false; }

  bool Modified() const { return modified_; }
  void SetModified(bool modified);

  // Called after every change of the lines.
  std::function<void(const LinesChange&)> onChange;

 private:
  struct Edit {
    TextPos at;
    std::string removed;
    std::string inserted;
  };

  // The change without undo bookkeeping.
  TextPos Apply(TextPos from, TextPos to, std::string_view text);
  static TextPos EndOf(TextPos at, std::string_view text);
  void Changed(const LinesChange& change);
  void Forget();

  size_t limit_;
  std::vector<std::string> lines_;
  size_t size_ = 0;
  std::vector<Edit> edits_;
  size_t done_ = 0;         // edits_[0, done_) are done, the rest undone
  size_t clean_ = 0;        // done_ when the text was last marked unmodified
  bool cleanKnown_ = true;  // false once a program change lies between
  bool typing_ = false;     // the last edit was typing that may go on
  bool modified_ = false;
};

}  // namespace kavex
