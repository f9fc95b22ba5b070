#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "ulvo/engine/data_document.h"
#include "ulvo/engine/format_definition.h"

namespace ulvo::test {

// A fresh folder per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("ulvo-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Files of this process cannot grow beyond `bytes` while it lives: a write past it fails
// with "File too large", as on a full disk, without needing one.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t oldHandler_ = nullptr;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

inline std::string DocumentText(const pugi::xml_document& doc) {
  std::ostringstream out;
  WriteDocument(doc, out);
  return out.str();
}

// The saved form of an instrument data document whose root holds body.
inline std::string DataDocumentText(const std::string& body) {
  return "<?xml version=\"1.0\"?>\r\n<!--ULVO Instrument Data-->\r\n<data>\r\n" + body +
         "</data>\r\n";
}

// A definition loaded from the XML text of its root element.
inline std::unique_ptr<FormatDefinition> LoadDefinition(const TempDir& dir,
                                                        const std::string& formatXml) {
  static int counter = 0;
  const auto path = dir / ("def" + std::to_string(counter++) + ".xml");
  WriteBytes(path, "<?xml version=\"1.0\"?>\n" + formatXml);
  auto format = std::make_unique<FormatDefinition>(path);
  if (!format->Load()) return nullptr;
  return format;
}

struct ParseResult {
  bool ok = false;
  std::string document;  // saved form
};

inline ParseResult ParseBytes(const TempDir& dir, FormatDefinition& format,
                              const std::string& input) {
  const auto path = dir / "input.bin";
  WriteBytes(path, input);
  pugi::xml_document doc;
  pugi::xml_node data = NewDataDocument(doc);
  ParseResult result;
  result.ok = format.ParseFile(path, data);
  result.document = DocumentText(doc);
  return result;
}

struct WriteResult {
  bool ok = false;
  std::string bytes;
};

// Writes from a document given as XML text (loaded as the conversion reloads its scratch
// file).
inline WriteResult WriteDocumentText(const TempDir& dir, FormatDefinition& format,
                                     const std::string& documentXml) {
  pugi::xml_document doc;
  EXPECT_TRUE(LoadDataDocumentFromText(doc, documentXml));
  const auto path = dir / "output.bin";
  WriteResult result;
  result.ok = format.WriteFile(doc.document_element(), path);
  result.bytes = ReadBytes(path);
  return result;
}

}  // namespace ulvo::test
