#pragma once

#include <string>

namespace ulvo {

// A user-visible text: its translation key and the default shown when the translations
// file does not have the key.
struct TextId {
  const char* key;
  const char* defaultText;
};

inline constexpr TextId kFormatLoadErr{"IDS_FORMAT_LOAD_ERR",
                                       "Could not load format definition:\n%s"};
inline constexpr TextId kAlreadyExistsMsg{"IDS_ALREADY_EXISTS_MSG",
                                          "%s\nThis file already exists.\nReplace existing file?"};
inline constexpr TextId kCnvSuccessMsg{"IDS_CNV_SUCCESS_MSG", "Converted successfully"};
inline constexpr TextId kCnvErrorMsg{"IDS_CNV_ERROR_MSG", "Error while converting"};
inline constexpr TextId kCnvTitle{"IDS_CNV_TITLE", "Convert"};

// A message to show: which text, and the argument for its "%s" (if any).
struct Message {
  TextId text;
  std::string argument;
};

// The message with its default text; the translation lookup replaces text.defaultText.
std::string DefaultText(const Message& message);

}  // namespace ulvo
