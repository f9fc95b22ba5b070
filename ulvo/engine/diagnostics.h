#pragma once

#include <cstdint>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace ulvo {

// Where an input stopped matching its format.
struct ParseFailure {
  uint64_t offset = 0;  // bytes from the start of the file
  uint64_t line = 1;    // counted from 1, lines end with LF
  uint64_t column = 1;  // byte within the line, from 1
  size_t records = 0;   // records read before the failure
  // Set instead of a position when the input could not be read or the run was stopped.
  std::string reason;
  // Nothing could be read at all (a missing or unreadable file, one too large to parse).
  bool unread = false;
};

// Line and column (both from 1) of a byte offset in text.
void LineAndColumn(std::string_view text, uint64_t offset, uint64_t& line, uint64_t& column);

// "line 3, column 8 (byte offset 45): the input stops matching the format after 2 records"
std::string DescribeParseFailure(const ParseFailure& failure);

// The operating system's reason why path cannot be read (forWriting: written), or empty.
std::string FileReason(const std::filesystem::path& path, bool forWriting);

// Why a format element and its tree would not build, naming the tag or attribute and its
// line in text (the bytes the document was loaded from); empty when it builds. An attribute
// the program does not know and a hex literal that is not pairs of hexadecimal digits do not
// stop it (a definition of another tool or a later version must not vanish from the lists);
// they go to warnings, when given, so the author still hears of a misspelling.
std::string CheckDefinitionTree(pugi::xml_node format, std::string_view text,
                                std::vector<std::string>* warnings = nullptr);

}  // namespace ulvo
