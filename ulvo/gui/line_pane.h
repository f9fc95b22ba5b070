#pragma once

// Twin of kavex/gui/line_pane.h: the programs share no code, so the Line pane is kept alike in both
// by hand. A change to one belongs in the other too.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>

#include "ulvo/transfer/trace_model.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace ulvo {

// The "Line" pane of the Transfer window: the bytes of the transfer in both directions as
// they pass (time, direction, text with control bytes by name, or hex), as much of the
// trace as the model holds, and "Save trace..." for the whole of it. It reads the model on
// a timer, so the transfer never waits for the window.
class LinePane : public QWidget {
 public:
  static constexpr int kPollMs = 200;

  // translate: a visible text for its key, the default when there is no translation.
  using Translate = std::function<QString(const char* key, const char* text)>;
  LinePane(TraceModel& model, Translate translate, QWidget* parent = nullptr);

  bool IsOpen() const { return open_; }
  void SetOpen(bool open);
  // Shows what the model gathered since the last look.
  void Refresh();
  // Writes the whole trace to path; the note says how it went.
  void SaveTo(const QString& path);

  // Told when the user opens or closes the pane.
  std::function<void(bool open)> onOpenChanged;
  // Asks where to save the trace; empty when the user cancels.
  std::function<QString()> choosePath;

  QToolButton* Toggle() const { return toggle_; }
  QPlainTextEdit* Text() const { return text_; }
  QCheckBox* HexBox() const { return hex_; }
  QPushButton* SaveButton() const { return save_; }
  QLabel* Note() const { return note_; }

 private:
  void Rebuild();
  void Append(const std::vector<TraceEntry>& entries);

  TraceModel& model_;
  Translate translate_;
  bool open_ = false;
  uint64_t generation_ = 0;
  uint64_t next_ = 0;           // the first record not shown yet
  std::deque<int> shownChars_;  // characters of each shown row, oldest first
  int64_t shownTotal_ = 0;
  bool follow_ = true;  // the end of the trace is in view: keep it there
  QToolButton* toggle_;
  QWidget* body_;
  QPlainTextEdit* text_;
  QCheckBox* hex_;
  QPushButton* save_;
  QLabel* note_;
  QTimer* timer_;
};

}  // namespace ulvo
