#include "ulvo/shell/settings_document.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
#include <system_error>

#include "ulvo/engine/data_document.h"
#include "ulvo/engine/diagnostics.h"
#include "ulvo/engine/replace_file.h"
#include "ulvo/engine/text_codec.h"

namespace fs = std::filesystem;

namespace ulvo {
namespace {

// Processing instructions are kept: a file that begins with one must still begin with it when
// written back, or its encoding could no longer be told from its first bytes.
constexpr unsigned kSettingsParseOptions =
    (pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi) &
    ~pugi::parse_eol;

// What windows-1252 puts at 0x80 to 0x9F. Its five unused places keep the control
// character of the same number, so every byte reads and writes back unchanged.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool IsWide(SettingsEncoding e) {
  return e == SettingsEncoding::kUtf16Le || e == SettingsEncoding::kUtf16Be ||
         e == SettingsEncoding::kUtf32Le || e == SettingsEncoding::kUtf32Be;
}

bool Is16(SettingsEncoding e) {
  return e == SettingsEncoding::kUtf16Le || e == SettingsEncoding::kUtf16Be;
}

bool IsBigEndian(SettingsEncoding e) {
  return e == SettingsEncoding::kUtf16Be || e == SettingsEncoding::kUtf32Be;
}

// The name written into the declaration for an encoding.
const char* DeclaredName(SettingsEncoding e) {
  switch (e) {
    case SettingsEncoding::kLatin1:
      return "ISO-8859-1";
    case SettingsEncoding::kWindows1252:
      return "windows-1252";
    case SettingsEncoding::kAscii:
      return "US-ASCII";
    case SettingsEncoding::kUtf16Le:
    case SettingsEncoding::kUtf16Be:
      return "UTF-16";
    case SettingsEncoding::kUtf32Le:
    case SettingsEncoding::kUtf32Be:
      return "UTF-32";
    case SettingsEncoding::kUtf8:
      break;
  }
  return "UTF-8";
}

// The encoding a declared name stands for; false for one this program cannot read. Wide
// names count as UTF-8 here: only bytes in a wide encoding are read as one.
bool EightBitEncodingOf(const std::string& declared, SettingsEncoding& encoding) {
  const std::string name = Lower(declared);
  static const char* const kLatin1[] = {"iso-8859-1", "iso8859-1",  "iso_8859-1", "latin1",
                                        "latin-1",    "l1",         "cp819",      "ibm819",
                                        "iso-ir-100", "csisolatin1"};
  if (name.empty() || name == "utf-8" || name == "utf8" || StartsWith(name, "utf-16") ||
      StartsWith(name, "utf-32") || name == "ucs-2" || name == "ucs-4") {
    encoding = SettingsEncoding::kUtf8;
  } else if (std::find(std::begin(kLatin1), std::end(kLatin1), name) != std::end(kLatin1)) {
    encoding = SettingsEncoding::kLatin1;
  } else if (name == "windows-1252" || name == "cp1252" || name == "x-cp1252") {
    encoding = SettingsEncoding::kWindows1252;
  } else if (name == "us-ascii" || name == "ascii") {
    encoding = SettingsEncoding::kAscii;
  } else {
    return false;
  }
  return true;
}

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The encoding pseudo-attribute of the XML declaration at the start of bytes, read as the XML
// parser reads it (name = quoted value, ...); empty when there is no declaration or it names
// no encoding. "<?xml-stylesheet" and the like are not a declaration.
std::string DeclaredEncoding(std::string_view bytes) {
  if (!StartsWith(bytes, "<?xml") || bytes.size() < 6 || !IsXmlSpace(bytes[5])) return {};
  size_t at = 5;
  for (;;) {
    while (at < bytes.size() && IsXmlSpace(bytes[at])) ++at;
    if (at >= bytes.size() || bytes[at] == '?') return {};
    const size_t nameStart = at;
    while (at < bytes.size() && !IsXmlSpace(bytes[at]) && bytes[at] != '=' && bytes[at] != '?')
      ++at;
    const std::string_view name = bytes.substr(nameStart, at - nameStart);
    while (at < bytes.size() && IsXmlSpace(bytes[at])) ++at;
    if (at >= bytes.size() || bytes[at] != '=') return {};
    ++at;
    while (at < bytes.size() && IsXmlSpace(bytes[at])) ++at;
    if (at >= bytes.size() || (bytes[at] != '"' && bytes[at] != '\'')) return {};
    const size_t close = bytes.find(bytes[at], at + 1);
    if (close == std::string_view::npos) return {};
    if (name == "encoding") return std::string(bytes.substr(at + 1, close - at - 1));
    at = close + 1;
  }
}

// The program's one UTF-8 reader; a sequence it refuses stands as U+FFFD.
char32_t NextCharacter(std::string_view text, size_t& i) {
  unsigned long code = 0;
  return NextCodePoint(text, i, code) ? static_cast<char32_t>(code) : char32_t{0xFFFD};
}

std::string DecodeEightBit(std::string_view bytes, SettingsEncoding encoding) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 8);
  for (const char b : bytes) {
    const auto c = static_cast<unsigned char>(b);
    if (encoding == SettingsEncoding::kWindows1252 && c >= 0x80 && c < 0xA0)
      AppendUtf8(text, static_cast<unsigned long>(kWindows1252High[c - 0x80]));
    else
      AppendUtf8(text, c);  // Latin-1; an ASCII file with a stray high byte reads as Latin-1
  }
  return text;
}

// The byte for a character in a one-byte encoding; false when it has none.
bool EightBitByte(char32_t code, SettingsEncoding encoding, char& byte) {
  if (code < 0x80 || (code < 0x100 && encoding == SettingsEncoding::kLatin1) ||
      (code >= 0xA0 && code < 0x100 && encoding == SettingsEncoding::kWindows1252)) {
    byte = static_cast<char>(code);
    return true;
  }
  if (encoding != SettingsEncoding::kWindows1252) return false;
  for (int k = 0; k < 32; ++k) {
    if (kWindows1252High[k] == code) {
      byte = static_cast<char>(0x80 + k);
      return true;
    }
  }
  return false;
}

// UTF-8 text in a one-byte encoding; false when a character does not fit it.
bool EncodeEightBit(std::string_view text, SettingsEncoding encoding, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned long code = 0;
    char byte = 0;
    if (!NextCodePoint(text, i, code) || !EightBitByte(static_cast<char32_t>(code), encoding, byte))
      return false;
    out += byte;
  }
  return true;
}

void AppendUnit(std::string& out, char32_t unit, int bytes, bool bigEndian) {
  for (int k = 0; k < bytes; ++k) {
    const int shift = 8 * (bigEndian ? bytes - 1 - k : k);
    out += static_cast<char>((unit >> shift) & 0xFF);
  }
}

std::string EncodeWide(std::string_view text, SettingsEncoding encoding, bool byteOrderMark) {
  const bool big = IsBigEndian(encoding);
  const int unit = Is16(encoding) ? 2 : 4;
  std::string out;
  if (byteOrderMark) AppendUnit(out, 0xFEFF, unit, big);
  for (size_t i = 0; i < text.size();) {
    char32_t code = NextCharacter(text, i);
    if (unit == 2 && code >= 0x10000) {
      code -= 0x10000;
      AppendUnit(out, 0xD800 | (code >> 10), 2, big);
      AppendUnit(out, 0xDC00 | (code & 0x3FF), 2, big);
    } else {
      AppendUnit(out, code, unit, big);
    }
  }
  return out;
}

// Wide bytes as UTF-8 text. A unit that is no character (beyond U+10FFFF, a lone surrogate,
// a cut-off last unit) reads as U+FFFD, so what is written back is always Unicode.
std::string DecodeWide(std::string_view bytes, SettingsEncoding encoding, bool byteOrderMark) {
  const bool big = IsBigEndian(encoding);
  const size_t unit = Is16(encoding) ? 2 : 4;
  const auto unitAt = [&](size_t at) {
    char32_t value = 0;
    for (size_t k = 0; k < unit; ++k) {
      const auto b = static_cast<unsigned char>(bytes[at + (big ? k : unit - 1 - k)]);
      value = (value << 8) | b;
    }
    return value;
  };
  std::string text;
  text.reserve(bytes.size() / unit + 16);
  for (size_t at = byteOrderMark ? unit : 0; at < bytes.size(); at += unit) {
    if (at + unit > bytes.size()) {
      AppendUtf8(text, 0xFFFD);
      break;
    }
    char32_t code = unitAt(at);
    if (unit == 2 && code >= 0xD800 && code <= 0xDBFF && at + 2 * unit <= bytes.size()) {
      const char32_t low = unitAt(at + unit);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        at += unit;
      }
    }
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    AppendUtf8(text, static_cast<unsigned long>(code));
  }
  return text;
}

// A wide encoding from a byte order mark or from how "<?" is spelt; false for one-byte text.
bool DetectWide(std::string_view bytes, SettingsEncoding& encoding, bool& byteOrderMark) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view start;
    SettingsEncoding encoding;
    bool mark;
  } kStarts[] = {
      {"\xFF\xFE\0\0"sv, SettingsEncoding::kUtf32Le, true},
      {"\0\0\xFE\xFF"sv, SettingsEncoding::kUtf32Be, true},
      {"\xFF\xFE"sv, SettingsEncoding::kUtf16Le, true},
      {"\xFE\xFF"sv, SettingsEncoding::kUtf16Be, true},
      {"<\0\0\0"sv, SettingsEncoding::kUtf32Le, false},
      {"\0\0\0<"sv, SettingsEncoding::kUtf32Be, false},
      {"<\0?\0"sv, SettingsEncoding::kUtf16Le, false},
      {"\0<\0?"sv, SettingsEncoding::kUtf16Be, false},
  };
  for (const auto& s : kStarts) {
    if (StartsWith(bytes, s.start)) {
      encoding = s.encoding;
      byteOrderMark = s.mark;
      return true;
    }
  }
  // Without a mark or "<?": a document begins with "<" all the same ("<!--", "<settings").
  if (bytes.size() >= 4 && bytes[0] == '<' && bytes[1] == '\0' && bytes[2] != '\0' &&
      bytes[3] == '\0') {
    encoding = SettingsEncoding::kUtf16Le;
    byteOrderMark = false;
    return true;
  }
  if (bytes.size() >= 4 && bytes[0] == '\0' && bytes[1] == '<' && bytes[2] == '\0' &&
      bytes[3] != '\0') {
    encoding = SettingsEncoding::kUtf16Be;
    byteOrderMark = false;
    return true;
  }
  return false;
}

pugi::xml_node Declaration(pugi::xml_document& document) {
  for (pugi::xml_node n = document.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_declaration) return n;
  return {};
}

// Whether a declared name stands for the encoding the bytes are in.
bool NameMatches(const std::string& declared, SettingsEncoding encoding) {
  const std::string name = Lower(declared);
  if (IsWide(encoding)) {
    return StartsWith(name, Is16(encoding) ? "utf-16" : "utf-32") ||
           name == (Is16(encoding) ? "ucs-2" : "ucs-4");
  }
  if (encoding == SettingsEncoding::kUtf8) return name == "utf-8" || name == "utf8";
  SettingsEncoding named = SettingsEncoding::kUtf8;
  return EightBitEncodingOf(name, named) && named == encoding;
}

// Makes the declaration name the encoding the bytes will be in, where it names another.
void MatchDeclaration(pugi::xml_document& document, SettingsEncoding encoding) {
  pugi::xml_node declaration = Declaration(document);
  pugi::xml_attribute declared = declaration.attribute("encoding");
  // Without a name the bytes are UTF-8, or a wide encoding their first bytes tell.
  if (declared && !NameMatches(declared.value(), encoding)) {
    declared.set_value(DeclaredName(encoding));
  } else if (!declared && declaration && !IsWide(encoding) && encoding != SettingsEncoding::kUtf8) {
    // The name was read from a declaration the XML parser took only in part: written back,
    // it must still say what the bytes are.
    declaration.append_attribute("encoding") = DeclaredName(encoding);
  }
}

std::string DocumentText(const pugi::xml_document& document) {
  std::ostringstream text;
  WriteDocument(document, text);
  return text.str();
}

}  // namespace

bool SettingsDocument::Load(const fs::path& file) {
  readable_ = false;
  keepUnreadable_ = false;
  problem_.clear();
  setAside_.clear();
  setAsideProblem_.clear();
  encoding_ = SettingsEncoding::kUtf8;
  byteOrderMark_ = false;
  document_.reset();
  std::error_code ec;
  if (!fs::exists(file, ec)) {
    CreateShipped();
    return false;
  }
  std::string bytes;
  const uintmax_t size = fs::file_size(file, ec);
  if (!ec && size > kMaxSettingsFileSize) {
    problem_ = "it is larger than 64 MiB";
  } else if (!ReadFileBytes(file, bytes)) {
    const std::string why = FileReason(file, false);
    problem_ = why.empty() ? "it cannot be read" : why;
  } else {
    pugi::xml_parse_result parsed;
    std::string text;  // what was parsed, when it was one-byte text
    if (DetectWide(bytes, encoding_, byteOrderMark_)) {
      text = DecodeWide(bytes, encoding_, byteOrderMark_);
      parsed = document_.load_buffer(text.data(), text.size(), kSettingsParseOptions,
                                     pugi::encoding_utf8);
    } else {
      byteOrderMark_ = StartsWith(bytes, "\xEF\xBB\xBF");
      const std::string_view body = std::string_view(bytes).substr(byteOrderMark_ ? 3 : 0);
      const std::string declared = DeclaredEncoding(body);
      if (!EightBitEncodingOf(declared, encoding_)) {
        problem_ = "it declares the encoding \"" + declared + "\", which ULVO cannot read";
      } else {
        text = encoding_ == SettingsEncoding::kUtf8 ? std::string(body)
                                                    : DecodeEightBit(body, encoding_);
        parsed = document_.load_buffer(text.data(), text.size(), kSettingsParseOptions,
                                       pugi::encoding_utf8);
      }
    }
    if (problem_.empty() && !parsed) {
      problem_ = std::string("it is not an XML document (") + parsed.description();
      if (!text.empty()) {
        uint64_t line = 1, column = 1;
        LineAndColumn(text, static_cast<uint64_t>(std::max<ptrdiff_t>(parsed.offset, 0)), line,
                      column);
        problem_ += " at line " + std::to_string(line);
      }
      problem_ += ")";
    } else if (problem_.empty() && !Root()) {
      const pugi::xml_node root = document_.document_element();
      problem_ = root ? "its root element is <" + std::string(root.name()) + ">, not <settings>"
                      : std::string("it holds no element");
    }
  }
  readable_ = problem_.empty();
  if (!readable_) {
    keepUnreadable_ = true;
    encoding_ = SettingsEncoding::kUtf8;
    byteOrderMark_ = false;
    CreateShipped();
    return false;
  }
  MatchDeclaration(document_, encoding_);
  return true;
}

void SettingsDocument::CreateEmpty() {
  document_.reset();
  pugi::xml_node declaration = document_.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  document_.append_child(pugi::node_comment).set_value("ULVO Settings");
  document_.append_child("settings");
}

void SettingsDocument::CreateShipped() {
  const std::string_view text = ShippedSettingsText();
  if (!document_.load_buffer(text.data(), text.size(), kSettingsParseOptions,
                             pugi::encoding_utf8) ||
      !Root())
    CreateEmpty();
}

bool SettingsDocument::SetAsideUnreadable(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(file, ec))) {
    keepUnreadable_ = false;
    return true;
  }
  for (int n = 1;; ++n) {
    fs::path bad = file;
    bad += n == 1 ? std::string(".bad") : "." + std::to_string(n) + ".bad";
    if (fs::exists(fs::symlink_status(bad, ec))) continue;
    fs::rename(file, bad, ec);
    if (ec) {
      setAsideProblem_ = ec.message();
      return false;
    }
    setAside_ = bad;
    setAsideProblem_.clear();
    keepUnreadable_ = false;
    return true;
  }
}

bool SettingsDocument::Save(const fs::path& file) {
  if (keepUnreadable_ && !SetAsideUnreadable(file)) return false;
  std::string bytes;
  if (encoding_ == SettingsEncoding::kUtf8) {
    bytes = (byteOrderMark_ ? "\xEF\xBB\xBF" : "") + DocumentText(document_);
  } else if (IsWide(encoding_)) {
    bytes = EncodeWide(DocumentText(document_), encoding_, byteOrderMark_);
  } else if (!EncodeEightBit(DocumentText(document_), encoding_, bytes)) {
    // A character the file's encoding has no byte for: UTF-8 from now on, and said so.
    encoding_ = SettingsEncoding::kUtf8;
    MatchDeclaration(document_, encoding_);
    bytes = DocumentText(document_);
  }
  return ReplaceFileWith(file, bytes).empty();
}

fs::path SettingsFilePath(const fs::path& programFolder) {
  return programFolder / "Settings.xml";
}

}  // namespace ulvo
