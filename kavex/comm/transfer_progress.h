#pragma once

#include <cstddef>
#include <string>

namespace kavex {

inline constexpr const char* kDownloadEndedText = "Download ended";
inline constexpr const char* kDownloadStoppedText = "Download stopped";

// What the "Download/Upload" progress window (TUpDwDlg) shows. The core drives it; the Qt
// window renders it after each change.
struct ProgressDisplay {
  std::string firstLabel;
  std::string secondLabel;
  bool barVisible = false;
  int barMax = 20;
  int barPosition = 0;
  int labelsTop = 32;  // 16: upper line (with the bar), 32: lower line
  bool cancelVisible = false;

  bool operator==(const ProgressDisplay&) const = default;
};

class TransferProgress {
 public:
  virtual ~TransferProgress() = default;

  void StartDownloadDisplay(unsigned n);
  void StartUploadDisplay(unsigned start, unsigned total, unsigned done, unsigned steps);
  void StartConversionDisplay(unsigned start, unsigned total, unsigned done, unsigned steps);
  void ShowMessage(const std::string& text);
  // The end of a download, for a window kept open after it: "Download ended" (or stopped)
  // and how many lines were received.
  void ShowDownloadEnd(bool completed, size_t lines);
  void Update(unsigned n);

  // Shows or hides the window; showing clears the cancel flag.
  void Show(bool cancelVisible);
  void Hide();
  bool Visible() const { return visible_; }

  // True after "CANCEL" was pressed since the window was last shown.
  bool CancelRequested() const { return cancel_; }
  void PressCancel() { cancel_ = true; }

  const ProgressDisplay& Display() const { return display_; }

 protected:
  // Called after every change, so a window can repaint.
  virtual void Changed() {}

 private:
  void StartBarDisplay(const char* text, unsigned start, unsigned total, unsigned done,
                       unsigned steps);

  ProgressDisplay display_;
  unsigned start_ = 0;
  unsigned total_ = 0;
  unsigned steps_ = 20;
  bool cancel_ = false;
  bool visible_ = false;
};

}  // namespace kavex
