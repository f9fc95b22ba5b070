#pragma once

#include <filesystem>
#include <pugixml.hpp>

namespace ulvo {

// "Settings.xml": the format selections and identifier lists, kept for the whole run.
class SettingsDocument {
 public:
  // Reads the file; when it cannot be read (missing, not XML, no "settings" root) the
  // document becomes a new empty one and false is returned.
  bool Load(const std::filesystem::path& file);
  // Declaration version="1.0", the comment "ULVO Settings" and an empty root "settings".
  void CreateEmpty();
  // Writes the document to file through a temporary file, so a failed write leaves the old
  // file as it was. A file that could not be read at start is first kept as "<file>.bad".
  bool Save(const std::filesystem::path& file);

  // The "settings" element, the node the conversion settings are read below.
  pugi::xml_node Root() const { return document_.child("settings"); }
  pugi::xml_document& Document() { return document_; }
  const pugi::xml_document& Document() const { return document_; }
  bool WasReadable() const { return readable_; }

 private:
  pugi::xml_document document_;
  bool readable_ = false;
  bool keepUnreadable_ = false;
};

std::filesystem::path SettingsFilePath(const std::filesystem::path& programFolder);

}  // namespace ulvo
