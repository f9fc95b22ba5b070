#pragma once

#include <filesystem>
#include <string>

namespace ulvo {

// Why received data could not be written to path (the operating system's words), or
// empty when it can: the folder exists and the file can be created or appended to. A file
// created only to find out is removed again; an existing one is left as it is.
std::string DestinationProblem(const std::filesystem::path& path);

// Writes bytes to path, replacing it; the operating system's reason on failure, else empty.
std::string WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);

// A name in folder for received data that could not be written to destination: the
// destination's file name, numbered when that is taken ("data-2.txt").
std::filesystem::path FallbackFilePath(const std::filesystem::path& folder,
                                       const std::filesystem::path& destination);

}  // namespace ulvo
