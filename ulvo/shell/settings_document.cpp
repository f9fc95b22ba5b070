#include "ulvo/shell/settings_document.h"

#include <cstring>
#include <system_error>

#include "ulvo/engine/data_document.h"

namespace fs = std::filesystem;

namespace ulvo {

bool SettingsDocument::Load(const fs::path& file) {
  std::error_code ec;
  const bool exists = fs::exists(file, ec);
  readable_ = LoadDataDocument(document_, file) && document_.document_element() &&
              std::strcmp(document_.document_element().name(), "settings") == 0;
  keepUnreadable_ = exists && !readable_;
  if (!readable_) CreateEmpty();
  return readable_;
}

void SettingsDocument::CreateEmpty() {
  document_.reset();
  pugi::xml_node declaration = document_.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  document_.append_child(pugi::node_comment).set_value("ULVO Settings");
  document_.append_child("settings");
}

bool SettingsDocument::Save(const fs::path& file) {
  std::error_code ec;
  if (keepUnreadable_) {
    fs::path bad = file;
    bad += ".bad";
    fs::rename(file, bad, ec);
    if (ec && fs::exists(file, ec)) return false;
    keepUnreadable_ = false;
  }
  fs::path temporary = file;
  temporary += ".new";
  if (!SaveDocument(document_, temporary)) {
    fs::remove(temporary, ec);
    return false;
  }
  fs::rename(temporary, file, ec);
  if (ec) {
    fs::remove(temporary, ec);
    return false;
  }
  return true;
}

fs::path SettingsFilePath(const fs::path& programFolder) {
  return programFolder / "Settings.xml";
}

}  // namespace ulvo
