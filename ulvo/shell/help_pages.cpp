#include "ulvo/shell/help_pages.h"

#include <cstdio>

namespace ulvo {

std::filesystem::path HelpFolder(const std::filesystem::path& programFolder) {
  return programFolder / "help";
}

std::string HelpPageName(int controlId) {
  char name[32];
  std::snprintf(name, sizeof name, "H%07d.htm", controlId);
  return name;
}

std::filesystem::path HelpIndexPath(const std::filesystem::path& programFolder) {
  return HelpFolder(programFolder) / "ulvo.htm";
}

}  // namespace ulvo
