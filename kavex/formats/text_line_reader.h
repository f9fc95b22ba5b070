#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace kavex {

// Reads a Kavex text file line by line as text mode does (CR LF and bare LF both end a
// line) without holding the whole file in memory. Of a very long line only the first
// kMaxLineLength characters are kept; no layout looks that far into a line.
class TextLineReader {
 public:
  static constexpr size_t kMaxLineLength = 4096;
  // The most characters of a piece, as a fixed 256-byte line buffer reads them.
  static constexpr size_t kMaxPiece = 255;

  // False when the file cannot be opened for reading.
  bool Open(const std::filesystem::path& path);
  // The next line without its line end; hasLineFeed tells whether one ended it (the last
  // line of a file may lack it). False at the end of the file.
  bool Next(std::string& line, bool& hasLineFeed);
  // The next piece of at most kMaxPiece characters: a longer line comes as several pieces,
  // only the last with its line feed. False at the end of the file.
  bool NextPiece(std::string& piece, bool& hasLineFeed);
  // Share of the file read so far, 0..100, for progress windows.
  int Percent();

 private:
  std::ifstream in_;
  std::uintmax_t size_ = 0;
  std::uintmax_t consumed_ = 0;
};

}  // namespace kavex
