#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kavex {

// The most characters (line feeds included) typing and pasting can bring DataMemo1 to.
inline constexpr size_t kDataViewCharLimit = 10'000'000;

// The largest file Open reads. Downloads and conversions put more than kDataViewCharLimit
// in the view (a 76,000-block download is 10.3 MB, the drawing of 100,000 points about
// 19 MB), and what the program saves it must open again; a file beyond this is clearly not
// survey data.
inline constexpr std::uintmax_t kDataFileLimit = std::uintmax_t{64} << 20;
inline constexpr const char* kFileTooLargeMessage =
    "File too large: Kavex opens files of at most 64 MiB.";

enum class DataFileRead { kRead, kCannotRead, kTooLarge };
// A data file's lines as Open shows them: whole lines, each without its CR LF or LF.
DataFileRead ReadDataFileLines(const std::filesystem::path& path, std::vector<std::string>& lines);

// The lines of the current data and the view's modified flag (DataMemo1). The Qt view
// implements it, so what the user typed is what the core reads; tests use MemoryDataView.
class DataView {
 public:
  virtual ~DataView() = default;
  virtual std::vector<std::string> Lines() const = 0;  // no line ends; bytes as Latin-1
  virtual size_t LineCount() const = 0;
  virtual void SetLines(const std::vector<std::string>& lines) = 0;  // replaces all
  virtual void AppendLine(const std::string& line) = 0;  // sets modified, as a change does
  // Several lines at once, as AppendLine each would; a window adds them in one go.
  virtual void AppendLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) AppendLine(line);
  }
  virtual void ClearLines() = 0;
  virtual bool Modified() const = 0;
  virtual void SetModified(bool modified) = 0;
  // The CurrFilePass label: "(unsaved)" or the path.
  virtual void SetFileLabel(const std::string& label) = 0;
};

// In-memory view for the command line and tests.
class MemoryDataView final : public DataView {
 public:
  std::vector<std::string> Lines() const override { return lines_; }
  size_t LineCount() const override { return lines_.size(); }
  void SetLines(const std::vector<std::string>& lines) override {
    lines_ = lines;
    modified_ = true;
  }
  void AppendLine(const std::string& line) override {
    lines_.push_back(line);
    modified_ = true;
  }
  void ClearLines() override {
    lines_.clear();
    modified_ = true;
  }
  bool Modified() const override { return modified_; }
  void SetModified(bool modified) override { modified_ = modified; }
  void SetFileLabel(const std::string& label) override { label_ = label; }
  const std::string& FileLabel() const { return label_; }

 private:
  std::vector<std::string> lines_;
  bool modified_ = false;
  std::string label_ = "(unsaved)";
};

}  // namespace kavex
