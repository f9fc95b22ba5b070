#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

// One harness function per reader; libFuzzer calls it, and so does the corpus replay.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A scratch file of this process, for readers that take a path; the folder goes at exit.
inline std::filesystem::path ScratchFile(const char* name) {
  struct Folder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("survey-fuzz-" + std::to_string(::getpid()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static const Folder folder;
  return folder.path / name;
}

inline std::filesystem::path WriteScratch(const char* name, std::string_view bytes) {
  const auto path = ScratchFile(name);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// Splits "first@@DATA@@second"; without the marker all of it is the first part.
inline void SplitAtMarker(std::string_view all, std::string_view& first, std::string_view& second) {
  constexpr std::string_view kMarker = "@@DATA@@";
  const size_t at = all.find(kMarker);
  first = all.substr(0, at);
  second = at == std::string_view::npos ? std::string_view() : all.substr(at + kMarker.size());
}

}  // namespace fuzz
