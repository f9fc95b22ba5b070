#include "kavex/formats/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

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
  namespace fs = std::filesystem;
  // The system's words for the step that failed, taken before anything else can change errno.
  const auto failed = [&why](int error) {
    why = error != 0 ? std::strerror(error) : "the file could not be written in full";
    return false;
  };
  // Write beside the target and rename over it, so a full disk cannot destroy the old file.
  fs::path temp = path;
  temp += ".tmp~";
  std::error_code ec;
  {
    errno = 0;
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return failed(errno);
    const std::string disk = ToDiskText(text);
    out.write(disk.data(), static_cast<std::streamsize>(disk.size()));
    out.flush();
    if (!out) {
      const int error = errno;
      out.close();
      fs::remove(temp, ec);
      return failed(error);
    }
    errno = 0;
    out.close();
    if (out.fail()) {
      const int error = errno;
      fs::remove(temp, ec);
      return failed(error);
    }
  }
  // Only a complete new file moves the old one aside, so a failure never leaves the
  // target's name empty.
  bool kept = false;
  if (!keepAs.empty() && keepAs != path && fs::exists(path, ec)) {
    fs::remove(keepAs, ec);
    fs::rename(path, keepAs, ec);
    kept = !ec;
  }
  fs::rename(temp, path, ec);
  if (ec) {
    const int error = ec.value();
    fs::remove(temp, ec);
    if (kept) fs::rename(keepAs, path, ec);
    return failed(error);
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
