#pragma once

#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ulvo/engine/format_definition.h"
#include "ulvo/transfer/instrument.h"
#include "ulvo/transfer/profile_store.h"
#include "ulvo/transfer/transfer_codes.h"

namespace ulvo {

// What the task windows are given by the application: translations, the program folder,
// the instruments, the per-user store, the format list, the settings document and help.
struct TaskContext {
  // Text for a key; the default when the translations do not have it.
  std::function<std::string(const std::string& key, const std::string& defaultText)> translate;
  std::filesystem::path programFolder;
  // The user's own folder: where a transfer's file given without a folder goes.
  std::filesystem::path dataFolder;
  std::vector<CInstrument>* instruments = nullptr;
  ProfileStore* profile = nullptr;
  FormatList* formats = nullptr;
  // The settings document's element (may be empty: the forms then read empty values).
  std::function<pugi::xml_node()> settings;
  std::function<void(const std::filesystem::path&)> showHelp;

  std::string Text(const char* key, const char* defaultText) const {
    if (translate && key && *key) return translate(key, defaultText);
    return defaultText;
  }
  QString QText(const char* key, const char* defaultText) const {
    return QString::fromStdString(Text(key, defaultText));
  }
  QString QText(const TransferText& t) const { return QText(t.key, t.text); }
};

// Gives every control whose object name is its number that number as help identifier, so
// F1 on it shows the page named after it.
void SetHelpIdsByName(QWidget* form);

}  // namespace ulvo
