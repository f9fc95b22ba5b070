#include "ulvo/shell/translations.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

#include "ulvo/engine/data_document.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

bool IsUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t follow = 0;
    if (c < 0x80) {
      follow = 0;
    } else if (c >= 0xC2 && c <= 0xDF) {
      follow = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      follow = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      follow = 3;
    } else {
      return false;
    }
    if (i + follow >= s.size() && follow > 0) return false;
    for (size_t k = 1; k <= follow; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += follow + 1;
  }
  return true;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsKeyChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string ExpandLineFeeds(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += value[i];
    }
  }
  return out;
}

// The key is what stands before the first quote; `KEY="..."`, `KEY "..."` and `KEY = "..."`
// all name KEY, so one separator character between blanks is dropped.
std::string KeyOf(std::string_view beforeQuote) {
  std::string_view key = TrimRight(beforeQuote);
  if (!key.empty() && !IsKeyChar(key.back())) key = TrimRight(key.substr(0, key.size() - 1));
  return Upper(key);
}

}  // namespace

bool Translations::Load(const std::filesystem::path& file) {
  texts_.clear();
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxTranslationsFileSize) return false;
  std::string bytes;
  if (!ReadFileBytes(file, bytes) || bytes.size() > kMaxTranslationsFileSize) return false;
  return Parse(bytes);
}

bool Translations::Parse(std::string_view bytes) {
  texts_.clear();
  size_t number = 0;
  size_t pos = 0;
  while (pos <= bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // Decided line by line: one entry typed in Latin-1 must not garble the UTF-8 of the rest.
    std::string converted;
    if (!IsUtf8(line)) {
      converted = BytesToText(line);
      line = converted;
    }
    ++number;
    if (number == 1) {
      if (line.find("TRANSLATIONS FILE ULVO") == std::string_view::npos) return false;
      continue;
    }
    if (number == 2) {
      if (line.find("VERSION 1.0") == std::string_view::npos) return false;
      continue;
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == ';') continue;
    const size_t first = line.find('"');
    const size_t last = line.rfind('"');
    if (first == std::string_view::npos || last == first) continue;
    std::string key = KeyOf(line.substr(0, first));
    if (key.empty()) continue;
    texts_[std::move(key)] = ExpandLineFeeds(line.substr(first + 1, last - first - 1));
  }
  return number >= 2;
}

std::optional<std::string> Translations::Find(std::string_view key) const {
  const auto it = texts_.find(Upper(key));
  if (it == texts_.end()) return std::nullopt;
  return it->second;
}

std::string Translations::Text(std::string_view key, std::string_view defaultText) const {
  if (auto text = Find(key)) return *text;
  return std::string(defaultText);
}

std::string Translations::Text(const Message& message) const {
  return FormatMessage(Text(message.text), message.argument);
}

std::filesystem::path TranslationsFilePath(const std::filesystem::path& programFolder) {
  return programFolder / "ulvo.tft";
}

namespace {

bool AllLetters(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

// "nl", "NL", "pt-br" and "pt_BR" as "nl", "nl", "pt_BR", "pt_BR"; empty for anything else.
std::string LocaleName(std::string_view text) {
  const size_t cut = text.find_first_of("_-");
  const std::string_view language = text.substr(0, cut);
  const std::string_view region =
      cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
  if (language.size() < 2 || language.size() > 3 || !AllLetters(language)) return {};
  if (cut != std::string_view::npos && (region.size() != 2 || !AllLetters(region))) return {};
  std::string name;
  for (char c : language) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!region.empty()) name += "_" + Upper(region);
  return name;
}

std::string LanguageOfFileName(const std::filesystem::path& file) {
  const std::string stem = file.stem().string();
  constexpr std::string_view kPrefix = "ulvo-";
  if (stem.size() <= kPrefix.size()) return {};
  std::string lower;
  for (char c : stem.substr(0, kPrefix.size()))
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == kPrefix ? LocaleName(std::string_view(stem).substr(kPrefix.size())) : "";
}

}  // namespace

std::string TranslationsLanguage(const Translations& translations,
                                 const std::filesystem::path& file) {
  if (const auto named = translations.Find("LANGUAGE"))
    if (std::string name = LocaleName(*named); !name.empty()) return name;
  if (std::string name = LanguageOfFileName(file); !name.empty()) return name;
  std::error_code ec;
  const std::filesystem::path target = std::filesystem::canonical(file, ec);
  return ec ? std::string() : LanguageOfFileName(target);
}

std::string SoftwareHandshakeName(const Translations& translations, uint32_t bit) {
  switch (bit) {
    case 1:
      return translations.Text("GT_HSXONXOFF", "XON XOFF");
    case 2:
      return translations.Text("GT_HSACKNAK", "ACK NAK");
    case 4:
      return translations.Text("GT_HSACKNAK2", "ACK NAK2");
    default:
      return {};
  }
}

}  // namespace ulvo
