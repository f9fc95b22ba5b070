#include "kavex/formats/text_line_reader.h"

#include <system_error>

namespace kavex {

bool TextLineReader::Open(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  in_.open(path, std::ios::binary);
  if (!in_) return false;
  size_ = std::filesystem::file_size(path, ec);
  if (ec) size_ = 0;
  consumed_ = 0;
  return true;
}

bool TextLineReader::Next(std::string& line, bool& hasLineFeed) {
  line.clear();
  hasLineFeed = false;
  bool any = false;
  std::uintmax_t length = 0;
  int last = 0;
  std::streambuf* buf = in_.rdbuf();
  if (!in_.is_open() || !buf) return false;
  for (int c = buf->sbumpc(); c != std::char_traits<char>::eof(); c = buf->sbumpc()) {
    any = true;
    ++consumed_;
    if (c == '\n') {
      hasLineFeed = true;
      break;
    }
    ++length;
    last = c;
    if (line.size() <= kMaxLineLength) line.push_back(static_cast<char>(c));
  }
  // CR LF is one line end in text mode; a CR elsewhere is data.
  if (hasLineFeed && last == '\r' && length == line.size()) line.pop_back();
  if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
  return any;
}

bool TextLineReader::NextPiece(std::string& piece, bool& hasLineFeed) {
  piece.clear();
  hasLineFeed = false;
  std::streambuf* buf = in_.rdbuf();
  if (!in_.is_open() || !buf) return false;
  constexpr int kEof = std::char_traits<char>::eof();
  while (piece.size() < kMaxPiece) {
    int c = buf->sbumpc();
    if (c == kEof) break;
    ++consumed_;
    if (c == '\r' && buf->sgetc() == '\n') {
      buf->sbumpc();
      ++consumed_;
      c = '\n';
    }
    if (c == '\n') {
      hasLineFeed = true;
      return true;
    }
    piece.push_back(static_cast<char>(c));
  }
  // A full buffer leaves a following line feed for the next piece, as fgets does.
  return !piece.empty();
}

int TextLineReader::Percent() {
  if (size_ == 0) return 100;
  const std::uintmax_t p = consumed_ * 100 / size_;
  return p > 100 ? 100 : static_cast<int>(p);
}

}  // namespace kavex
