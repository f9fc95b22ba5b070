#include "ulvo/shell/application.h"

namespace ulvo {

StartOptions ParseStartOptions(const std::vector<std::string>& arguments) {
  StartOptions options;
  for (const std::string& argument : arguments) {
    if (argument == "--nosplash") options.showSplash = false;
  }
  return options;
}

void CDunmarkApp::Start(const std::filesystem::path& programFolder, ProfileStore* profile) {
  programFolder_ = programFolder;
  profile_ = profile;
  instruments_ = LoadInstruments(programFolder_ / "IIF", profile_);
  // An unreadable file is moved aside at once, so the user can be told where it went.
  const std::filesystem::path settingsFile = SettingsFilePath(programFolder_);
  if (!settings_.Load(settingsFile) && !settings_.Problem().empty())
    settings_.SetAsideUnreadable(settingsFile);
  formats_.Refresh(programFolder_);
  documentTypes_ = {
      {402, kTransferType, "Transfer Document"}, {403, kHelpType, "Help Document"},
      {404, kConvertType, "Convert Document"},   {405, kMergeType, "Merge Document"},
      {406, kDesignType, "Design Document"},
  };
}

bool CDunmarkApp::LoadTranslations() {
  const std::filesystem::path file = TranslationsFilePath(programFolder_);
  const bool loaded = translations_.Load(file);
  language_ = loaded ? TranslationsLanguage(translations_, file) : std::string();
  return loaded;
}

bool CDunmarkApp::Exit() {
  return settings_.Save(SettingsFilePath(programFolder_));
}

void CDunmarkApp::RefreshFormats() {
  formats_.Refresh(programFolder_);
}

const DocumentType* CDunmarkApp::FindDocumentType(const std::string& name) const {
  for (const DocumentType& type : documentTypes_) {
    if (name == type.name) return &type;
  }
  return nullptr;
}

}  // namespace ulvo
