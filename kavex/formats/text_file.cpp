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

// Write beside the target and rename over it, so a full disk cannot destroy the old file.
TextFileWriter::TextFileWriter(std::filesystem::path path) : path_(std::move(path)) {
  temp_ = path_;
  temp_ += ".tmp~";
}

TextFileWriter::~TextFileWriter() {
  if (!file_) return;
  std::fclose(file_);
  std::error_code ec;
  std::filesystem::remove(temp_, ec);
}

bool TextFileWriter::Fail(std::string& why, int error) {
  why = error != 0 ? std::strerror(error) : "the file could not be written in full";
  return false;
}

bool TextFileWriter::Open(std::string& why) {
  errno = 0;
  file_ = std::fopen(temp_.c_str(), "wb");
  if (!file_) return Fail(why, errno);
  buffer_.reserve(kWriteChunk + kWriteChunk / 8);
  return true;
}

void TextFileWriter::Write(std::string_view memory) {
  for (char c : memory) {
    if (c == '\n') buffer_.push_back('\r');
    buffer_.push_back(c);
  }
  if (buffer_.size() >= kWriteChunk) Drain();
}

void TextFileWriter::Drain() {
  if (!failed_ && file_ && !buffer_.empty()) {
    // The system's words for the step that failed, taken before anything can change errno.
    errno = 0;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      failed_ = true;
      error_ = errno;
    }
  }
  buffer_.clear();
}

bool TextFileWriter::Commit(std::string& why, const std::filesystem::path& keepAs) {
  namespace fs = std::filesystem;
  if (!file_) return Fail(why, EBADF);
  Drain();
  errno = 0;
  if (!failed_ && std::fflush(file_) != 0) {
    failed_ = true;
    error_ = errno;
  }
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!failed_ && !closed) {
    failed_ = true;
    error_ = errno;
  }
  std::error_code ec;
  if (failed_) {
    fs::remove(temp_, ec);
    return Fail(why, error_);
  }
  // Only a complete new file moves the old one aside, so a failure never leaves the
  // target's name empty.
  bool kept = false;
  if (!keepAs.empty() && keepAs != path_ && fs::exists(path_, ec)) {
    fs::remove(keepAs, ec);
    fs::rename(path_, keepAs, ec);
    kept = !ec;
  }
  fs::rename(temp_, path_, ec);
  if (ec) {
    const int error = ec.value();
    fs::remove(temp_, ec);
    if (kept) fs::rename(keepAs, path_, ec);
    return Fail(why, error);
  }
  return true;
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
