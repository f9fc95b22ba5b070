#include "ulvo/engine/text_codec.h"

#include <locale.h>
#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace ulvo {
namespace {

locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Plain ASCII is the same in bytes and text; only the upper half needs converting.
bool IsAscii(std::string_view text) {
  for (char ch : text) {
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  }
  return true;
}

}  // namespace

void AppendBytesAsText(std::string& text, std::string_view bytes) {
  if (IsAscii(bytes)) {
    text += bytes;
    return;
  }
  text.reserve(text.size() + 2 * bytes.size());
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      text.push_back(ch);
    } else {
      text.push_back(static_cast<char>(0xC0 | (c >> 6)));
      text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

std::string BytesToText(std::string_view bytes) {
  std::string text;
  AppendBytesAsText(text, bytes);
  return text;
}

std::string TextToBytes(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  std::string bytes;
  bytes.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      bytes.push_back(text[i]);
      ++i;
      continue;
    }
    int length = 0;
    unsigned code = 0;
    if ((c & 0xE0) == 0xC0) {
      length = 2;
      code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      code = c & 0x07;
    }
    bool valid = length > 0 && i + static_cast<size_t>(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto n = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((n & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (n & 0x3F);
    }
    if (!valid) {
      bytes.push_back(text[i]);
      ++i;
      continue;
    }
    bytes.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
    i += static_cast<size_t>(length);
  }
  return bytes;
}

std::string HexToBytes(const std::string& hex) {
  std::string bytes;
  const size_t pairs = hex.size() / 2;
  for (size_t i = 0; i < pairs; ++i) {
    unsigned value = 0;
    if (std::sscanf(hex.c_str() + 2 * i, "%2x", &value) == 1) {
      bytes.push_back(static_cast<char>(value & 0xFF));
    }
  }
  return bytes;
}

std::string BytesToHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 0x0F]);
  }
  return hex;
}

double ReadDouble(std::string_view text) {
  // Plain decimals ("-12.345"), the usual case, are read without a copy; from_chars rounds
  // exactly as strtod does.
  size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  const size_t digitsStart = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  bool plain = i > digitsStart;
  if (plain && i < text.size()) {
    plain = text[i] == '.' && i + 1 < text.size();
    for (++i; plain && i < text.size(); ++i) plain = text[i] >= '0' && text[i] <= '9';
  }
  if (plain) {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc() && result.ptr == text.data() + text.size()) return value;
  }
  // Otherwise only what a decimal number is made of: blanks, sign, digits, point, exponent.
  // strtod alone would also take hexadecimal, "inf" and "nan", which are no numbers here.
  const auto digit = [&](size_t at) {
    return at < text.size() && text[at] >= '0' && text[at] <= '9';
  };
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  const size_t numberStart = at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  size_t digits = 0;
  for (; digit(at); ++at) ++digits;
  if (at < text.size() && text[at] == '.') {
    ++at;
    for (; digit(at); ++at) ++digits;
  }
  if (digits == 0) return 0.0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    size_t e = at + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (digit(e)) {
      while (digit(e)) ++e;
      at = e;
    }
  }
  const std::string copy(text.substr(numberStart, at - numberStart));
  return strtod_l(copy.c_str(), nullptr, CLocale());
}

int ReadInt(std::string_view text) {
  const std::string copy(text);
  const long long value = strtoll_l(copy.c_str(), nullptr, 10, CLocale());
  // atoi of a number beyond int is undefined; clamping keeps hostile files harmless.
  if (value > 0x7FFFFFFF) return 0x7FFFFFFF;
  if (value < -0x7FFFFFFF - 1) return -0x7FFFFFFF - 1;
  return static_cast<int>(value);
}

std::string FormatFixed(double value, int decimals) {
  if (decimals < 0) decimals = 6;
  if (!std::isfinite(value)) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    return value < 0 ? "-inf" : "inf";
  }
  // Most values fit a small buffer; integer digits of a double stay below 310, so the
  // large one always suffices.
  char small[64];
  auto result =
      std::to_chars(small, small + sizeof small, value, std::chars_format::fixed, decimals);
  if (result.ec == std::errc()) return std::string(small, result.ptr);
  std::string out(static_cast<size_t>(decimals) + 320, '\0');
  result =
      std::to_chars(out.data(), out.data() + out.size(), value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return std::string();
  out.resize(static_cast<size_t>(result.ptr - out.data()));
  return out;
}

bool RoundDecimalText(std::string& text, int decimals) {
  if (decimals < 0) return false;
  const size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
  size_t i = sign;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  const size_t integer = i - sign;
  // A leading zero is not printed back (only "0" itself).
  if (integer == 0 || (integer > 1 && text[sign] == '0')) return false;
  size_t places = 0;
  if (i < text.size()) {
    if (text[i] != '.') return false;
    for (size_t j = i + 1; j < text.size(); ++j, ++places)
      if (text[j] < '0' || text[j] > '9') return false;
    if (places == 0) return false;
  }
  const auto wanted = static_cast<size_t>(decimals);
  // Up to 15 digits a double lies nearer the decimal than half its last place: printing it
  // rounds as the decimal does, except at an exact tie.
  if (integer + std::max(places, wanted) > 15) return false;
  if (text.find_first_not_of("0.", sign) == std::string::npos && sign) return false;
  const size_t point = sign + integer;
  if (places <= wanted) {
    if (wanted > 0 && places == 0) text += '.';
    text.append(wanted - places, '0');
    return true;
  }
  const size_t cut = point + 1 + wanted;  // the first place dropped
  const bool tie = text[cut] == '5' && text.find_first_not_of('0', cut + 1) == std::string::npos;
  if (tie) return false;
  const bool up = text[cut] >= '5';
  text.resize(wanted == 0 ? point : cut);
  if (up) {
    size_t j = text.size();
    for (;;) {
      if (j == sign) {
        text.insert(sign, 1, '1');
        break;
      }
      --j;
      if (text[j] == '.') continue;
      if (text[j] != '9') {
        ++text[j];
        break;
      }
      text[j] = '0';
    }
  }
  return true;
}

std::string FormatMessage(std::string_view text, std::string_view argument) {
  std::string out(text);
  const size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, argument);
  return out;
}

bool NextCodePoint(std::string_view text, size_t& i, unsigned long& code) {
  const auto c = static_cast<unsigned char>(text[i]);
  int length = 1;
  unsigned long least = 0;  // the smallest code point that needs this many bytes
  if (c < 0x80) {
    code = c;
  } else if ((c & 0xE0) == 0xC0) {
    length = 2;
    code = c & 0x1F;
    least = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    length = 3;
    code = c & 0x0F;
    least = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    length = 4;
    code = c & 0x07;
    least = 0x10000;
  } else {
    ++i;
    return false;
  }
  if (i + static_cast<size_t>(length) > text.size()) {
    ++i;
    return false;
  }
  for (int k = 1; k < length; ++k) {
    const auto n = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
    if ((n & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    code = (code << 6) | (n & 0x3F);
  }
  // An overlong form ("C0 BC" for "<"), a surrogate or a number beyond Unicode is no
  // character: passed on, it would come out as markup or as nothing in another encoding.
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += static_cast<size_t>(length);
  return true;
}

void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

namespace {

bool IsUnstorable(unsigned long code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0xFFFE || code == 0xFFFF;
}

// Walks the characters of text; stops at the first one refused, returning its name.
std::string Unstorable(std::string_view utf8, std::string* kept) {
  char name[16];
  std::string first;
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    unsigned long code = 0;
    const bool valid = NextCodePoint(utf8, i, code);
    if (!valid) {
      std::snprintf(name, sizeof name, "byte 0x%02X", static_cast<unsigned char>(utf8[start]));
    } else if (IsUnstorable(code)) {
      std::snprintf(name, sizeof name, "U+%04lX", code);
    } else {
      if (kept) kept->append(utf8.substr(start, i - start));
      continue;
    }
    if (first.empty()) first = name;
    if (!kept) break;
  }
  return first;
}

}  // namespace

std::string FirstUnstorableCharacter(std::string_view utf8) {
  return Unstorable(utf8, nullptr);
}

std::string RemoveUnstorableCharacters(std::string_view utf8, std::string* first) {
  std::string kept;
  const std::string name = Unstorable(utf8, &kept);
  if (first) *first = name;
  return kept;
}

bool IsXmlName(std::string_view text) {
  if (text.empty() || !IsNameStart(static_cast<unsigned char>(text[0]))) return false;
  for (char c : text) {
    if (!IsNameChar(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace ulvo
