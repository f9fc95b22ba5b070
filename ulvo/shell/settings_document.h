#pragma once

#include <cstdint>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace ulvo {

// Identifier lists and selections take kilobytes; a larger file is not a settings document.
inline constexpr uintmax_t kMaxSettingsFileSize = uintmax_t{64} << 20;

// How "Settings.xml" is stored. A file the user edited by hand keeps its encoding, and its
// declaration always names the encoding its bytes are in.
enum class SettingsEncoding {
  kUtf8,
  kLatin1,       // "ISO-8859-1"
  kWindows1252,  // "windows-1252": Latin-1 with printable characters at 0x80 to 0x9F
  kAscii,        // "US-ASCII"
  kUtf16Le,
  kUtf16Be,
  kUtf32Le,
  kUtf32Be,
};

// "Settings.xml": the format selections and identifier lists, kept for the whole run.
class SettingsDocument {
 public:
  // Reads the file in the encoding its declaration names. When it cannot be read (missing,
  // not XML, an encoding ULVO does not know, no "settings" root) the document becomes the
  // shipped settings and false is returned; Problem() then says why, unless it was missing.
  bool Load(const std::filesystem::path& file);
  // Declaration version="1.0", the comment "ULVO Settings" and an empty root "settings".
  void CreateEmpty();
  // The settings shipped with the program: their types, groups and elements.
  void CreateShipped();
  // Moves a file that could not be read out of the way, to "<file>.bad", or "<file>.2.bad",
  // "<file>.3.bad" ... when that is taken, so an earlier one is never replaced. Save does
  // it when it was not done (or failed) before.
  bool SetAsideUnreadable(const std::filesystem::path& file);
  // Writes the document to file through a temporary file, so a failed write leaves the old
  // file as it was, in the encoding the file was read in (UTF-8 when a character does not
  // fit that encoding, the declaration saying so).
  bool Save(const std::filesystem::path& file);

  // The "settings" element, the node the conversion settings are read below.
  pugi::xml_node Root() const { return document_.child("settings"); }
  pugi::xml_document& Document() { return document_; }
  const pugi::xml_document& Document() const { return document_; }
  bool WasReadable() const { return readable_; }
  SettingsEncoding Encoding() const { return encoding_; }
  // Why the file could not be read; empty when it was, or when there was none.
  const std::string& Problem() const { return problem_; }
  // Where the unreadable file was set aside; empty when it was not (or needed not be).
  const std::filesystem::path& SetAsidePath() const { return setAside_; }
  // Why setting it aside failed; empty when it did not.
  const std::string& SetAsideProblem() const { return setAsideProblem_; }

 private:
  pugi::xml_document document_;
  SettingsEncoding encoding_ = SettingsEncoding::kUtf8;
  bool byteOrderMark_ = false;
  bool readable_ = false;
  bool keepUnreadable_ = false;
  std::string problem_;
  std::filesystem::path setAside_;
  std::string setAsideProblem_;
};

std::filesystem::path SettingsFilePath(const std::filesystem::path& programFolder);

// The text of the "Settings.xml" shipped with the program (built in).
std::string_view ShippedSettingsText();

}  // namespace ulvo
