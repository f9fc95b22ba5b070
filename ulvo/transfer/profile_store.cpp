#include "ulvo/transfer/profile_store.h"

#include <charconv>

namespace ulvo {

std::optional<std::string> MemoryProfileStore::GetText(const std::string& section,
                                                       const std::string& key) const {
  const auto it = values_.find({section, key});
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::optional<int64_t> MemoryProfileStore::GetNumber(const std::string& section,
                                                     const std::string& key) const {
  const auto text = GetText(section, key);
  if (!text) return std::nullopt;
  int64_t value = 0;
  const auto r = std::from_chars(text->data(), text->data() + text->size(), value);
  if (r.ec != std::errc()) return std::nullopt;
  return value;
}

void MemoryProfileStore::SetText(const std::string& section, const std::string& key,
                                 const std::string& value) {
  values_[{section, key}] = value;
}

void MemoryProfileStore::SetNumber(const std::string& section, const std::string& key,
                                   int64_t value) {
  values_[{section, key}] = std::to_string(value);
}

}  // namespace ulvo
