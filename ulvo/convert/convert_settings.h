#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ulvo/engine/format_definition.h"
#include "ulvo/engine/identifier_list.h"

namespace ulvo {

// One side (source or target) of the Convert form as the settings document keeps it.
struct ConvertSide {
  std::string typeId;
  std::string formatName;
  std::string filePath;
};

struct ConvertSelections {
  ConvertSide from;
  ConvertSide to;
};

// The external XML editor, "./conversion/xmleditor/@name" below the settings element; empty
// when none is set or the node is missing.
std::string ReadEditorCommand(pugi::xml_node settings);

// The last selections of the Convert form. Missing nodes read as empty.
ConvertSelections ReadConvertSelections(pugi::xml_node settings);
// Writes the selections back, creating the nodes that are missing.
void WriteConvertSelections(pugi::xml_node settings, const ConvertSelections& selections);

// Called after a file has been received: the next Convert form starts with it as source.
bool SetConversionSource(pugi::xml_node settings, const FormatList& formats,
                         const std::string& formatName, const std::string& filePath);

// The names of the formats of a type, sorted without regard to letter case as the form's
// lists show them; the empty type lists the formats without a type.
std::vector<std::string> FormatNamesOfType(const FormatList& formats, const std::string& typeId);

// An identifier list of the settings document ("types", "groups", "elements").
std::vector<IdName> ReadIdList(pugi::xml_node settings, const char* list, const char* item);

}  // namespace ulvo
