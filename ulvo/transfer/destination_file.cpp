#include "ulvo/transfer/destination_file.h"

#include <system_error>

#include "ulvo/engine/replace_file.h"

namespace ulvo {

std::string DestinationProblem(const std::filesystem::path& path) {
  return ReplacementProblem(path);
}

std::string WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
  return ReplaceFileWith(path, bytes);
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
