#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace ulvo {

// Per-user values by section and key (the last used instrument and its settings).
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  virtual std::optional<std::string> GetText(const std::string& section,
                                             const std::string& key) const = 0;
  virtual std::optional<int64_t> GetNumber(const std::string& section,
                                           const std::string& key) const = 0;
  virtual void SetText(const std::string& section, const std::string& key,
                       const std::string& value) = 0;
  virtual void SetNumber(const std::string& section, const std::string& key, int64_t value) = 0;
};

class MemoryProfileStore : public ProfileStore {
 public:
  std::optional<std::string> GetText(const std::string& section,
                                     const std::string& key) const override;
  std::optional<int64_t> GetNumber(const std::string& section,
                                   const std::string& key) const override;
  void SetText(const std::string& section, const std::string& key,
               const std::string& value) override;
  void SetNumber(const std::string& section, const std::string& key, int64_t value) override;

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

}  // namespace ulvo
