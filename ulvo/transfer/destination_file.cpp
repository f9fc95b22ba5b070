#include "ulvo/transfer/destination_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace ulvo {
namespace {

std::string ErrnoText() {
  return std::strerror(errno != 0 ? errno : EIO);
}

}  // namespace

std::string DestinationProblem(const std::filesystem::path& path) {
  std::error_code ec;
  if (path.empty()) return std::strerror(ENOENT);
  if (std::filesystem::is_directory(path, ec)) return std::strerror(EISDIR);
  const std::filesystem::path folder = path.parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
    return std::strerror(std::filesystem::exists(folder, ec) ? ENOTDIR : ENOENT);
  }
  const bool existed = std::filesystem::exists(path, ec);
  errno = 0;
  std::FILE* file = std::fopen(path.string().c_str(), "ab");
  if (!file) return ErrnoText();
  std::fclose(file);
  if (!existed) std::filesystem::remove(path, ec);
  return {};
}

std::string WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
  errno = 0;
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (!file) return ErrnoText();
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const std::string why = written ? std::string() : ErrnoText();
  errno = 0;
  if (std::fclose(file) != 0 && written) return ErrnoText();
  return why;
}

std::filesystem::path FallbackFilePath(const std::filesystem::path& folder,
                                       const std::filesystem::path& destination) {
  std::filesystem::path name = destination.filename();
  if (name.empty() || name == "." || name == "..") name = "received.txt";
  const std::string stem = name.stem().string();
  const std::string extension = name.extension().string();
  std::error_code ec;
  std::filesystem::path candidate = folder / name;
  for (int n = 2; std::filesystem::exists(candidate, ec); ++n) {
    candidate = folder / (stem + "-" + std::to_string(n) + extension);
  }
  return candidate;
}

}  // namespace ulvo
