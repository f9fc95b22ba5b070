#pragma once

#include <filesystem>
#include <string>

#include "ulvo/convert/messages.h"

namespace ulvo {

inline constexpr TextId kHelpFileNotFound{"EMSG_HELPFILENOTFOUND", "helpfile %s not found."};

// The program folder's "help" folder.
std::filesystem::path HelpFolder(const std::filesystem::path& programFolder);
// "H%07d.htm": the page of a control's help.
std::string HelpPageName(int controlId);
// The help index, "ulvo.htm", also the first page a new help window shows.
std::filesystem::path HelpIndexPath(const std::filesystem::path& programFolder);

}  // namespace ulvo
