#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "kavex/formats/replace_file.h"

namespace kavex {

// Kavex's text files behave as Windows text mode on every OS: CR LF on disk, LF in memory.
// Reading also accepts a bare LF; a CR not followed by LF is kept as data.

// Converts the bytes of a file into memory form (CR LF -> LF).
std::string FromDiskText(std::string_view disk);
// Converts memory form into disk bytes (LF -> CR LF).
std::string ToDiskText(std::string_view memory);

// Reads a whole text file in memory form. Returns false when it cannot be read.
bool ReadTextFile(const std::filesystem::path& path, std::string& text);
// Writes memory-form text as disk bytes through a ReplacingFile: false when the file cannot
// be written, and a failed write leaves the file as it was. With keepAs, an existing file is
// kept under that name (replacing an older one) once the new text is on disk beside it.
bool WriteTextFile(const std::filesystem::path& path, std::string_view text,
                   const std::filesystem::path& keepAs = {});
// The same; when it fails, why gets the operating system's reason.
bool WriteTextFile(const std::filesystem::path& path, std::string_view text, std::string& why,
                   const std::filesystem::path& keepAs = {});

// Writes memory-form text as disk bytes piece by piece, so a long text is never held whole,
// through a ReplacingFile: Commit puts it in place. A writer dropped without Commit leaves
// path as it was.
class TextFileWriter {
 public:
  explicit TextFileWriter(std::filesystem::path path);
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  // False, with the operating system's reason in why, when path cannot be replaced.
  bool Open(std::string& why);
  // Appends memory-form text (LF becomes CR LF); a failure is kept for Commit to report.
  void Write(std::string_view memory);
  // Puts the file in place; as WriteTextFile, keepAs keeps an existing file under that name.
  bool Commit(std::string& why, const std::filesystem::path& keepAs = {});

 private:
  void Drain();

  ReplacingFile file_;
  std::string buffer_;
  bool open_ = false;
};

// Splits memory-form text into lines at LF; a final LF does not start an empty last line.
std::vector<std::string> SplitLines(std::string_view text);
// Joins lines, each followed by LF.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace kavex
