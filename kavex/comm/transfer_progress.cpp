#include "kavex/comm/transfer_progress.h"

#include "kavex/formats/text_format.h"

namespace kavex {

void TransferProgress::StartDownloadDisplay(unsigned n) {
  display_.firstLabel = "Download in progress  :";
  display_.secondLabel = Format("%4u ", n);
  display_.barVisible = false;
  display_.labelsTop = 32;
  Changed();
}

void TransferProgress::StartBarDisplay(const char* text, unsigned start, unsigned total,
                                       unsigned done, unsigned steps) {
  start_ = start;
  total_ = total;
  steps_ = steps;
  display_.firstLabel = text;
  display_.barVisible = true;
  display_.barMax = static_cast<int>(steps);
  display_.barPosition = 0;
  display_.secondLabel = Format("%4u / %-4u", done, total);
  display_.labelsTop = 16;
  Changed();
}

void TransferProgress::StartUploadDisplay(unsigned start, unsigned total, unsigned done,
                                          unsigned steps) {
  StartBarDisplay("Upload in progress  :", start, total, done, steps);
}

void TransferProgress::StartConversionDisplay(unsigned start, unsigned total, unsigned done,
                                              unsigned steps) {
  StartBarDisplay("Conversion in progress  :", start, total, done, steps);
}

void TransferProgress::ShowMessage(const std::string& text) {
  display_.firstLabel = text;
  display_.secondLabel.clear();
  display_.barVisible = false;
  display_.labelsTop = 32;
  Changed();
}

void TransferProgress::ShowDownloadEnd(bool completed, size_t lines) {
  display_.firstLabel = completed ? kDownloadEndedText : kDownloadStoppedText;
  display_.secondLabel = lines == 1 ? std::string("1 line") : Format("%zu lines", lines);
  display_.barVisible = false;
  display_.labelsTop = 32;
  Changed();
}

void TransferProgress::Update(unsigned n) {
  if (display_.barVisible) {
    display_.secondLabel = Format("%4u / %-4u", n, total_);
    // An empty range would divide by zero: the bar then stays where it is.
    if (total_ > start_) {
      const unsigned long long pos =
          static_cast<unsigned long long>(n) * steps_ / (total_ - start_);
      display_.barPosition = static_cast<int>(pos > steps_ ? steps_ : pos);
    }
  } else {
    display_.secondLabel = Format("%4u ", n);
  }
  Changed();
}

void TransferProgress::Show(bool cancelVisible) {
  cancel_ = false;
  visible_ = true;
  display_.cancelVisible = cancelVisible;
  Changed();
}

void TransferProgress::Hide() {
  visible_ = false;
  Changed();
}

}  // namespace kavex
