#include "kavex/formats/text_piece_reader.h"

#include <system_error>

namespace kavex {

bool TextPieceReader::Open(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  in_.open(path, std::ios::binary);
  if (!in_) return false;
  size_ = std::filesystem::file_size(path, ec);
  if (ec) size_ = 0;
  consumed_ = 0;
  return true;
}

bool TextPieceReader::Next(std::string& piece, bool& hasLineFeed) {
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

int TextPieceReader::Percent() const {
  if (size_ == 0) return 100;
  const std::uintmax_t p = consumed_ * 100 / size_;
  return p > 100 ? 100 : static_cast<int>(p);
}

}  // namespace kavex
