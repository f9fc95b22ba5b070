#pragma once

#include <filesystem>
#include <string>

namespace kavex {

// Why path cannot be read (forWriting: created or replaced), in the operating system's
// words, or empty when it can. Asking creates nothing: a file made only to find out is
// removed again, an existing one is left as it is.
std::string FileProblem(const std::filesystem::path& path, bool forWriting);

// A free name in folder for lines that could not be saved to destination: its file name,
// numbered when that is taken ("data-2.qr6").
std::filesystem::path FallbackFilePath(const std::filesystem::path& folder,
                                       const std::filesystem::path& destination);

// Where text went: to the file asked for, else (problem says why) to fallback, when that
// could be written.
struct SavedText {
  bool saved = false;
  std::string problem;  // "path: reason" when the file asked for could not be written
  std::filesystem::path fallback;
};

// Writes memory-form text (as WriteTextFile) to path; when that fails, to a free name in
// fallbackFolder (created when missing), so received data is never lost.
SavedText SaveTextOrFallback(const std::filesystem::path& path, const std::string& text,
                             const std::filesystem::path& fallbackFolder);

}  // namespace kavex
