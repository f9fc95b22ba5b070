#pragma once

#include <filesystem>
#include <string>

namespace ulvo {

// Why received data could not be written to path (the operating system's words), or
// empty when it can: the folder exists and takes a new file beside the destination, and an
// existing destination is writable. Nothing is left behind by asking.
std::string DestinationProblem(const std::filesystem::path& path);

// Puts bytes in place of path, through a file beside it that replaces it once complete; the
// operating system's reason on failure (path then holds what it held), else empty.
std::string WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);

// A name in folder for received data that could not be written to destination: the
// destination's file name, numbered when that is taken ("data-2.txt").
std::filesystem::path FallbackFilePath(const std::filesystem::path& folder,
                                       const std::filesystem::path& destination);

}  // namespace ulvo
