#include "ulvo/engine/definition_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "ulvo/engine/data_document.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

bool IsXmlChar(unsigned long code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// A character or entity reference starting at text[at] == '&'; returns its length, 0 when
// it is not one XML knows without a document type.
size_t ReferenceLength(std::string_view text, size_t at) {
  const size_t end = text.find(';', at);
  if (end == std::string_view::npos) return 0;
  const std::string_view body = text.substr(at + 1, end - at - 1);
  if (body.size() > 1 && body[0] == '#') {
    const bool hex = body[1] == 'x';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return 0;
    unsigned long code = 0;
    for (char c : digits) {
      int value = -1;
      if (c >= '0' && c <= '9') value = c - '0';
      if (hex && c >= 'a' && c <= 'f') value = c - 'a' + 10;
      if (hex && c >= 'A' && c <= 'F') value = c - 'A' + 10;
      if (value < 0) return 0;
      code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
    }
    return IsXmlChar(code) ? body.size() + 2 : 0;
  }
  for (const char* known : {"lt", "gt", "amp", "apos", "quot"}) {
    if (body == known) return body.size() + 2;
  }
  return 0;
}

// Raw (unescaped) text of a value: only known references, no control characters.
bool IsWellFormedValue(std::string_view text, bool attribute) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '&') {
      const size_t length = ReferenceLength(text, i);
      if (length == 0) return false;
      i += length - 1;
    } else if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (attribute && c == '<')) {
      return false;
    }
  }
  return true;
}

bool IsWellFormedElement(pugi::xml_node element) {
  if (!IsXmlName(element.name())) return false;
  std::vector<std::string_view> names;
  for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
    if (!IsXmlName(a.name()) || !IsWellFormedValue(a.value(), true)) return false;
    names.emplace_back(a.name());
  }
  std::sort(names.begin(), names.end());
  return std::adjacent_find(names.begin(), names.end()) == names.end();
}

bool IsWellFormedNode(pugi::xml_node node) {
  switch (node.type()) {
    case pugi::node_element:
      return IsWellFormedElement(node);
    case pugi::node_pcdata:
      return IsWellFormedValue(node.value(), false);
    default:
      return true;
  }
}

unsigned long ReadUnit(std::string_view bytes, size_t at, int size, bool bigEndian) {
  unsigned long unit = 0;
  for (int k = 0; k < size; ++k) {
    const int shift = 8 * (bigEndian ? size - 1 - k : k);
    unit |=
        static_cast<unsigned long>(static_cast<unsigned char>(bytes[at + static_cast<size_t>(k)]))
        << shift;
  }
  return unit;
}

void AppendUnit(std::string& out, unsigned long unit, int bytes, bool bigEndian) {
  for (int k = 0; k < bytes; ++k) {
    const int shift = 8 * (bigEndian ? bytes - 1 - k : k);
    out.push_back(static_cast<char>((unit >> shift) & 0xFF));
  }
}

}  // namespace

FileEncoding DetectFileEncoding(std::string_view bytes, pugi::xml_encoding found) {
  FileEncoding result;
  result.encoding = found;
  result.byteOrderMark = StartsWith(bytes, "\xEF\xBB\xBF") || StartsWith(bytes, "\xFF\xFE") ||
                         StartsWith(bytes, "\xFE\xFF") ||
                         StartsWith(bytes, std::string_view("\x00\x00\xFE\xFF", 4));
  return result;
}

bool IsWellFormedXml(std::string_view bytes) {
  pugi::xml_document doc;
  // A fragment keeps what a document would drop silently: text and elements beside the root.
  // Without escape handling the references stay as written, so they can be checked.
  constexpr unsigned kOptions = pugi::parse_fragment | pugi::parse_declaration |
                                pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype |
                                pugi::parse_cdata;
  if (!doc.load_buffer(bytes.data(), bytes.size(), kOptions, pugi::encoding_auto)) return false;
  int elements = 0;
  for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
    switch (node.type()) {
      case pugi::node_element:
        ++elements;
        break;
      case pugi::node_declaration:
        if (node != doc.first_child()) return false;
        break;
      case pugi::node_doctype:
        if (elements > 0) return false;
        break;
      case pugi::node_comment:
      case pugi::node_pi:
        break;
      default:
        return false;  // text or CDATA beside the root
    }
  }
  if (elements != 1) return false;
  // Walked without recursion: nesting depth is the file's to choose.
  pugi::xml_node node = doc.document_element();
  const pugi::xml_node top = node;
  while (node) {
    if (!IsWellFormedNode(node)) return false;
    if (pugi::xml_node child = node.first_child()) {
      node = child;
      continue;
    }
    while (node && node != top && !node.next_sibling()) node = node.parent();
    if (!node || node == top) break;
    node = node.next_sibling();
  }
  return true;
}

std::string EncodeDocumentText(std::string_view utf8, const FileEncoding& encoding) {
  std::string out;
  const pugi::xml_encoding target = encoding.encoding;
  const bool utf16 = target == pugi::encoding_utf16_le || target == pugi::encoding_utf16_be;
  const bool utf32 = target == pugi::encoding_utf32_le || target == pugi::encoding_utf32_be;
  const bool bigEndian = target == pugi::encoding_utf16_be || target == pugi::encoding_utf32_be;
  if (encoding.byteOrderMark) {
    if (utf16 || utf32) {
      AppendUnit(out, 0xFEFF, utf16 ? 2 : 4, bigEndian);
    } else if (target != pugi::encoding_latin1) {
      out = "\xEF\xBB\xBF";
    }
  }
  if (target == pugi::encoding_latin1) {
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
      const size_t start = i;
      unsigned long code = 0;
      if (!NextCodePoint(utf8, i, code)) {
        out.push_back(utf8[start]);
      } else if (code <= 0xFF) {
        out.push_back(static_cast<char>(code));
      } else {
        out += "&#" + std::to_string(code) + ";";
      }
    }
  } else if (utf16 || utf32) {
    for (size_t i = 0; i < utf8.size();) {
      unsigned long code = 0;
      if (!NextCodePoint(utf8, i, code) || code > 0x10FFFF) code = 0xFFFD;
      if (utf32) {
        AppendUnit(out, code, 4, bigEndian);
      } else if (code >= 0x10000) {
        code -= 0x10000;
        AppendUnit(out, 0xD800 | (code >> 10), 2, bigEndian);
        AppendUnit(out, 0xDC00 | (code & 0x3FF), 2, bigEndian);
      } else {
        AppendUnit(out, code, 2, bigEndian);
      }
    }
  } else {
    out.append(utf8);
  }
  return out;
}

std::string DecodeDocumentText(std::string_view bytes, const FileEncoding& encoding) {
  const pugi::xml_encoding source = encoding.encoding;
  const bool utf16 = source == pugi::encoding_utf16_le || source == pugi::encoding_utf16_be;
  const bool utf32 = source == pugi::encoding_utf32_le || source == pugi::encoding_utf32_be;
  const bool bigEndian = source == pugi::encoding_utf16_be || source == pugi::encoding_utf32_be;
  std::string out;
  if (utf16 || utf32) {
    const int size = utf16 ? 2 : 4;
    for (size_t at = 0; at + static_cast<size_t>(size) <= bytes.size();
         at += static_cast<size_t>(size)) {
      unsigned long code = ReadUnit(bytes, at, size, bigEndian);
      if (utf16 && code >= 0xD800 && code <= 0xDBFF && at + 4 <= bytes.size()) {
        const unsigned long low = ReadUnit(bytes, at + 2, 2, bigEndian);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          at += 2;
        }
      }
      if (at == 0 && code == 0xFEFF) continue;
      AppendUtf8(out, code > 0x10FFFF ? 0xFFFD : code);
    }
  } else if (source == pugi::encoding_latin1) {
    out = BytesToText(bytes);
  } else {
    out.assign(StartsWith(bytes, "\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
  }
  return out;
}

}  // namespace ulvo
