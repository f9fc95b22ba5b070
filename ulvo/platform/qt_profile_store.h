#pragma once

#include <filesystem>
#include <memory>

#include "ulvo/transfer/profile_store.h"

class QSettings;

namespace ulvo {

// The per-user store: QSettings under "Varnel Zeruro BV" / "ULVO", or an ini file of the
// caller's choosing (tests).
class QtProfileStore : public ProfileStore {
 public:
  QtProfileStore();
  explicit QtProfileStore(const std::filesystem::path& iniFile);
  ~QtProfileStore() override;

  std::optional<std::string> GetText(const std::string& section,
                                     const std::string& key) const override;
  std::optional<int64_t> GetNumber(const std::string& section,
                                   const std::string& key) const override;
  void SetText(const std::string& section, const std::string& key,
               const std::string& value) override;
  void SetNumber(const std::string& section, const std::string& key, int64_t value) override;

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace ulvo
