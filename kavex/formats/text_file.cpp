#include "kavex/formats/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace kavex {

std::string FromDiskText(std::string_view disk) {
  std::string out;
  out.reserve(disk.size());
  for (size_t i = 0; i < disk.size(); ++i) {
    if (disk[i] == '\r' && i + 1 < disk.size() && disk[i + 1] == '\n') continue;
    out.push_back(disk[i]);
  }
  return out;
}

std::string ToDiskText(std::string_view memory) {
  std::string out;
  out.reserve(memory.size() + memory.size() / 16);
  for (char c : memory) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

bool ReadTextFile(const std::filesystem::path& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string disk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  text = FromDiskText(disk);
  return true;
}

bool WriteTextFile(const std::filesystem::path& path, std::string_view text,
                   const std::filesystem::path& keepAs) {
  std::string why;
  return WriteTextFile(path, text, why, keepAs);
}

bool WriteTextFile(const std::filesystem::path& path, std::string_view text, std::string& why,
                   const std::filesystem::path& keepAs) {
  TextFileWriter writer(path);
  if (!writer.Open(why)) return false;
  writer.Write(text);
  return writer.Commit(why, keepAs);
}

namespace {

// Converted text is handed to the system in pieces of about this size.
constexpr size_t kWriteChunk = size_t{1} << 16;

}  // namespace

TextFileWriter::TextFileWriter(std::filesystem::path path) : file_(std::move(path)) {}

TextFileWriter::~TextFileWriter() = default;

bool TextFileWriter::Open(std::string& why) {
  open_ = file_.Open(why);
  if (open_) buffer_.reserve(kWriteChunk + kWriteChunk / 8);
  return open_;
}

void TextFileWriter::Write(std::string_view memory) {
  for (char c : memory) {
    if (c == '\n') buffer_.push_back('\r');
    buffer_.push_back(c);
  }
  if (buffer_.size() >= kWriteChunk) Drain();
}

void TextFileWriter::Drain() {
  file_.Write(buffer_);
  buffer_.clear();
}

bool TextFileWriter::Commit(std::string& why, const std::filesystem::path& keepAs) {
  if (!open_) {
    why = std::strerror(EBADF);
    return false;
  }
  Drain();
  open_ = false;
  return file_.Commit(why, keepAs);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  size_t size = 0;
  for (const auto& l : lines) size += l.size() + 1;
  out.reserve(size);
  for (const auto& l : lines) {
    out += l;
    out.push_back('\n');
  }
  return out;
}

}  // namespace kavex
