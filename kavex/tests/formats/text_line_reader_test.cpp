#include "kavex/formats/text_line_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kavex {
namespace {

namespace fs = std::filesystem;

struct Read {
  std::string line;
  bool lf;
  bool operator==(const Read&) const = default;
};

std::vector<Read> ReadAll(const std::string& bytes) {
  const fs::path p = fs::temp_directory_path() / "kavex_line_reader_test.txt";
  std::ofstream(p, std::ios::binary) << bytes;
  TextLineReader reader;
  EXPECT_TRUE(reader.Open(p));
  std::vector<Read> out;
  std::string line;
  bool lf = false;
  while (reader.Next(line, lf)) out.push_back({line, lf});
  EXPECT_EQ(reader.Percent(), 100);
  fs::remove(p);
  return out;
}

TEST(TextLineReader, TextModeLines) {
  struct Case {
    std::string bytes;
    std::vector<Read> want;
  } cases[] = {
      {"a\r\nb\nc", {{"a", true}, {"b", true}, {"c", false}}},
      {"a\rb\r\n\r\n", {{"a\rb", true}, {"", true}}},  // a lone CR is data
      {"", {}},
      {"x\r", {{"x\r", false}}},
      {std::string(5000, 'y') + "\r\nz\n",
       {{std::string(TextLineReader::kMaxLineLength, 'y'), true}, {"z", true}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadAll(c.bytes), c.want) << c.bytes.substr(0, 20);
}

TEST(TextLineReader, MissingFileOrFolderDoesNotOpen) {
  TextLineReader reader;
  EXPECT_FALSE(reader.Open(fs::temp_directory_path() / "kavex-no-such-file.qr6"));
  EXPECT_FALSE(reader.Open(fs::temp_directory_path()));
}

}  // namespace
}  // namespace kavex
