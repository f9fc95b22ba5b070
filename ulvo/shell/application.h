#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ulvo/engine/format_definition.h"
#include "ulvo/shell/settings_document.h"
#include "ulvo/shell/translations.h"
#include "ulvo/transfer/instrument.h"
#include "ulvo/transfer/profile_store.h"

namespace ulvo {

inline constexpr TextId kSettingsNotSaved{"EMSG_SETTINGSNOTSAVED",
                                          "The settings could not be written to %s."};
// Told at start when Settings.xml could not be read (%1 the file, %2 why, %3 where it went
// or why it could not be moved).
inline constexpr TextId kSettingsSetAside{
    "EMSG_SETTINGSSETASIDE",
    "%1 could not be read: %2.\nIt was kept as %3.\nULVO starts with the types, groups and "
    "elements it was shipped with."};
inline constexpr TextId kSettingsNotSetAside{
    "EMSG_SETTINGSNOTSETASIDE",
    "%1 could not be read: %2.\nIt could not be moved aside (%3); it stays as it is until "
    "ULVO can move it.\nULVO starts with the types, groups and elements it was shipped with."};

// A document type of the program, in registration order.
struct DocumentType {
  int resource;
  const char* name;         // "Transfer", "Help", ...: what OpenTask and TaskIsOpen take
  const char* description;  // "Transfer Document", ...
};

inline constexpr const char* kTransferType = "Transfer";
inline constexpr const char* kHelpType = "Help";
inline constexpr const char* kConvertType = "Convert";
inline constexpr const char* kMergeType = "Merge";
inline constexpr const char* kDesignType = "Design";
// The plan of a file's points; beyond the program's five document types.
inline constexpr const char* kPlanType = "Plan";

// What the command line asks of the start.
struct StartOptions {
  bool showSplash = true;
};
StartOptions ParseStartOptions(const std::vector<std::string>& arguments);

// The application object: everything the task windows share, from start to exit.
class CDunmarkApp {
 public:
  // Start-up without windows: instruments of "IIF" in listing order (failures dropped), the
  // settings document (the shipped one when it cannot be read; an unreadable file is moved
  // aside), the format list, the document types. `profile` keeps the instruments' last used
  // settings and must outlive the app.
  void Start(const std::filesystem::path& programFolder, ProfileStore* profile);
  // Part of creating the main frame: reads "ulvo.tft" into the translations.
  bool LoadTranslations();
  // Writes the settings document back to "Settings.xml"; false when it cannot be written.
  bool Exit();

  const std::filesystem::path& ProgramFolder() const { return programFolder_; }
  ProfileStore* Profile() const { return profile_; }
  std::vector<CInstrument>& Instruments() { return instruments_; }
  const Translations& Texts() const { return translations_; }
  // The translations' language ("nl"), empty when there are none or they do not tell.
  const std::string& Language() const { return language_; }
  SettingsDocument& Settings() { return settings_; }
  FormatList& Formats() { return formats_; }
  // Reads the "Formats" folder again (after the format design editor's OK).
  void RefreshFormats();
  const std::vector<DocumentType>& DocumentTypes() const { return documentTypes_; }
  const DocumentType* FindDocumentType(const std::string& name) const;

 private:
  std::filesystem::path programFolder_;
  ProfileStore* profile_ = nullptr;
  std::vector<CInstrument> instruments_;
  Translations translations_;
  std::string language_;
  SettingsDocument settings_;
  FormatList formats_;
  std::vector<DocumentType> documentTypes_;
};

}  // namespace ulvo
