#include "kavex/formats/file_problem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "kavex/formats/replace_file.h"
#include "kavex/formats/text_file.h"

namespace kavex {

std::string FileProblem(const std::filesystem::path& path, bool forWriting) {
  // A file to be written is asked about as its write will make it: beside itself.
  if (forWriting) return ReplaceProblem(path);
  std::error_code ec;
  if (path.empty()) return std::strerror(ENOENT);
  if (std::filesystem::is_directory(path, ec)) return std::strerror(EISDIR);
  if (!std::filesystem::exists(path, ec)) return std::strerror(ENOENT);
  errno = 0;
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  if (!file) return std::strerror(errno != 0 ? errno : EIO);
  std::fclose(file);
  return {};
}

std::filesystem::path FallbackFilePath(const std::filesystem::path& folder,
                                       const std::filesystem::path& destination) {
  std::filesystem::path name = destination.filename();
  if (name.empty() || name == "." || name == "..") name = "download.txt";
  const std::string stem = name.stem().string();
  const std::string extension = name.extension().string();
  std::error_code ec;
  std::filesystem::path candidate = folder / name;
  for (int n = 2; std::filesystem::exists(candidate, ec); ++n)
    candidate = folder / (stem + "-" + std::to_string(n) + extension);
  return candidate;
}

SavedText SaveTextOrFallback(const std::filesystem::path& path, const std::string& text,
                             const std::filesystem::path& fallbackFolder) {
  SavedText result;
  std::string why;
  if (WriteTextFile(path, text, why)) {
    result.saved = true;
    return result;
  }
  result.problem = path.string() + ": " + why;
  if (fallbackFolder.empty()) return result;
  std::error_code ec;
  std::filesystem::create_directories(fallbackFolder, ec);
  const std::filesystem::path fallback = FallbackFilePath(fallbackFolder, path);
  if (WriteTextFile(fallback, text)) result.fallback = fallback;
  return result;
}

}  // namespace kavex
