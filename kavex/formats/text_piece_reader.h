#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace kavex {

// Reads a Kavex text file in pieces of at most kMaxPiece characters, as a fixed 256-byte
// line buffer does: a longer line comes as several pieces, only the last with its line
// feed. CR LF is one line end in memory form; a CR elsewhere is data.
class TextPieceReader {
 public:
  static constexpr size_t kMaxPiece = 255;

  // False when the file cannot be opened for reading.
  bool Open(const std::filesystem::path& path);
  // The next piece without its line feed; hasLineFeed tells whether one ended it. False at
  // the end of the file.
  bool Next(std::string& piece, bool& hasLineFeed);
  // Share of the file read so far, 0..100, for progress windows.
  int Percent() const;

 private:
  std::ifstream in_;
  std::uintmax_t size_ = 0;
  std::uintmax_t consumed_ = 0;
};

}  // namespace kavex
