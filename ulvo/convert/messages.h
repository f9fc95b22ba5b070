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
// The plan of the last conversion's source or target, so the two can be compared.
inline constexpr TextId kCnvPlanBtn{"IDC_CNV_PLAN_BTN", "&Plan..."};
inline constexpr TextId kCnvPlanSource{"IDS_CNV_PLAN_SOURCE", "Plan of the &source"};
inline constexpr TextId kCnvPlanTarget{"IDS_CNV_PLAN_TARGET", "Plan of the &target"};
// The converted file read back with its own format did not give back what was written.
inline constexpr TextId kCnvCheckHead{"IDS_CNV_CHECK_HEAD",
                                      "Reading the converted file back found %1 difference(s):"};
inline constexpr TextId kCnvCheckLine{"IDS_CNV_CHECK_LINE",
                                      "Record %1, %2: written %3, read back %4"};
inline constexpr TextId kCnvCheckMore{"IDS_CNV_CHECK_MORE", "... and %1 more"};
inline constexpr TextId kCnvCheckUnread{"IDS_CNV_CHECK_UNREAD",
                                        "The file does not read back from record %1: %2"};
inline constexpr TextId kCnvCheckUnreadAll{"IDS_CNV_CHECK_UNREAD_ALL",
                                           "The file does not read back: %1"};
inline constexpr TextId kCnvCheckNone{"IDS_CNV_CHECK_NONE", "(none)"};
inline constexpr TextId kCnvCheckNotWritten{"IDS_CNV_CHECK_NOT_WRITTEN", "(not written)"};

inline constexpr TextId kCnvCheckTooWide{
    "IDS_CNV_CHECK_TOO_WIDE", "Record %1, element %2: %3 needs %4 characters, the field holds %5"};
inline constexpr TextId kCnvCheckTooWideHead{"IDS_CNV_CHECK_TOO_WIDE_HEAD",
                                             "%1 value(s) do not fit their fields:"};

// A message to show: which text, the argument for its "%s" (if any), and what went wrong
// where, shown under the text (file names and system reasons, not translated).
struct Message {
  TextId text;
  std::string argument;
  std::string detail = {};
};

// The message with its default text; the translation lookup replaces text.defaultText.
std::string DefaultText(const Message& message);

}  // namespace ulvo
