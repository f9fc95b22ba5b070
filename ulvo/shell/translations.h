#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ulvo/convert/messages.h"
#include "ulvo/transfer/transfer_codes.h"

namespace ulvo {

// A translations file larger than this is not a translations file and is ignored.
inline constexpr uintmax_t kMaxTranslationsFileSize = uintmax_t{4} << 20;

// The one table that replaces ULVO's visible texts: upper-case key -> text (UTF-8).
class Translations {
 public:
  // Empties the table, then reads the file. A missing, oversized or malformed file leaves the
  // table empty and returns false, so every text shows its default.
  bool Load(const std::filesystem::path& file);
  // The same rules on a file's bytes. A line that is not UTF-8 is read as Latin-1.
  bool Parse(std::string_view bytes);
  void Clear() { texts_.clear(); }

  // The translation of key (any case), if the table has one.
  std::optional<std::string> Find(std::string_view key) const;
  // The translation, or defaultText when the key is not in the table.
  std::string Text(std::string_view key, std::string_view defaultText) const;
  std::string Text(const TextId& id) const { return Text(id.key, id.defaultText); }
  std::string Text(const TransferText& text) const { return Text(text.key, text.text); }
  // The message's text with its argument in place of "%s".
  std::string Text(const Message& message) const;

  size_t Count() const { return texts_.size(); }

 private:
  std::map<std::string, std::string, std::less<>> texts_;
};

// "ulvo.tft" in the program folder.
std::filesystem::path TranslationsFilePath(const std::filesystem::path& programFolder);

// The language the translations are in, as a locale name ("nl", "pt_BR"): the file's
// LANGUAGE entry, else its name ("ulvo-nl.tft", also behind a link named "ulvo.tft"); empty
// when neither tells.
std::string TranslationsLanguage(const Translations& translations,
                                 const std::filesystem::path& file);

// The name of a software handshake bit (1, 2 or 4), translated; empty for any other value.
std::string SoftwareHandshakeName(const Translations& translations, uint32_t bit);

}  // namespace ulvo
