#include "ulvo/engine/diagnostics.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "ulvo/engine/format_definition.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

bool Is(const char* tag, const char* name) {
  return std::strcmp(tag, name) == 0;
}

bool IsContainer(const char* tag) {
  for (const char* name : {"multi", "node", "radio", "repeat", "optional", "terminated", "group"})
    if (Is(tag, name)) return true;
  return false;
}

bool KnownAttribute(const char* tag, const char* attribute) {
  static const char* const kFieldAttributes[] = {"id",   "width",  "align",  "fill",
                                                 "sign", "offset", "factor", "precision"};
  if (Is(tag, "element") || Is(tag, "count")) {
    for (const char* name : kFieldAttributes)
      if (Is(attribute, name)) return true;
    return false;
  }
  if (Is(tag, "group")) return Is(attribute, "id") || Is(attribute, "name");
  if (Is(tag, "literal")) return Is(attribute, "hex");
  return false;
}

bool IsHexText(const std::string& text) {
  if (text.size() % 2 != 0) return false;
  for (const char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string At(pugi::xml_node node, std::string_view text) {
  uint64_t line = 1, column = 1;
  const auto offset = node.offset_debug();
  if (offset < 0) return {};
  LineAndColumn(text, static_cast<uint64_t>(offset), line, column);
  return " at line " + std::to_string(line);
}

std::string CheckChildren(pugi::xml_node parent, std::string_view text, int depth,
                          std::vector<std::string>* warnings) {
  if (depth > kMaxDefinitionDepth)
    return "nested deeper than " + std::to_string(kMaxDefinitionDepth) + " levels" +
           At(parent, text);
  for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_element) continue;
    const char* tag = node.name();
    const bool field = Is(tag, "element") || Is(tag, "count");
    if (!field && !Is(tag, "literal") && !IsContainer(tag))
      return "unknown tag <" + std::string(tag) + ">" + At(node, text);
    // An attribute of another tool or a later version is read past, as a loose hex literal
    // is read as "%2x" reads it: only the reader is told.
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      if (!KnownAttribute(tag, a.name()) && warnings)
        warnings->push_back("unknown attribute '" + std::string(a.name()) + "' of <" + tag + ">" +
                            At(node, text) + " is ignored");
    }
    if (Is(tag, "count") && !node.attribute("id"))
      return "<count> without the attribute 'id'" + At(node, text);
    if (field && node.attribute("width").as_llong() > kMaxFieldWidth)
      return "width '" + std::string(node.attribute("width").value()) + "' is too large" +
             At(node, text);
    if (field && node.attribute("precision").as_llong() > kMaxPrecision)
      return "precision '" + std::string(node.attribute("precision").value()) + "' is too large" +
             At(node, text);
    if (Is(tag, "literal") && std::strcmp(node.attribute("hex").value(), "true") == 0) {
      const pugi::xml_node t =
          node.find_child([](pugi::xml_node n) { return n.type() == pugi::node_pcdata; });
      if (!IsHexText(t.value()) && warnings)
        warnings->push_back("hex literal '" + std::string(t.value()) +
                            "' is not pairs of hexadecimal digits" + At(node, text) +
                            "; it is read as \"" + BytesToHex(HexToBytes(t.value())) + "\"");
    }
    if (IsContainer(tag)) {
      std::string problem = CheckChildren(node, text, depth + 1, warnings);
      if (!problem.empty()) return problem;
    }
  }
  return {};
}

}  // namespace

void LineAndColumn(std::string_view text, uint64_t offset, uint64_t& line, uint64_t& column) {
  line = 1;
  uint64_t lineStart = 0;
  const uint64_t end = offset < text.size() ? offset : text.size();
  for (uint64_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  column = offset - lineStart + 1;
}

std::string DescribeParseFailure(const ParseFailure& failure) {
  if (!failure.reason.empty()) return failure.reason;
  return "line " + std::to_string(failure.line) + ", column " + std::to_string(failure.column) +
         " (byte offset " + std::to_string(failure.offset) +
         "): the input stops matching the format after " + std::to_string(failure.records) +
         (failure.records == 1 ? " record" : " records");
}

std::string FileReason(const std::filesystem::path& path, bool forWriting) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return std::strerror(EISDIR);
  const bool existed = std::filesystem::exists(path, ec);
  if (!forWriting && !existed) return std::strerror(ENOENT);
  errno = 0;
  // Appending creates nothing when the file exists; a file made only to ask is removed.
  std::FILE* file = std::fopen(path.string().c_str(), forWriting ? "ab" : "rb");
  if (!file) return std::strerror(errno != 0 ? errno : EIO);
  std::fclose(file);
  if (!existed) std::filesystem::remove(path, ec);
  return {};
}

std::string CheckDefinitionTree(pugi::xml_node format, std::string_view text,
                                std::vector<std::string>* warnings) {
  return CheckChildren(format, text, 1, warnings);
}

}  // namespace ulvo
