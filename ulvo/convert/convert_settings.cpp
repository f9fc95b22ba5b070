#include "ulvo/convert/convert_settings.h"

#include <algorithm>
#include <cctype>

namespace ulvo {
namespace {

pugi::xml_node Child(pugi::xml_node parent, const char* name) {
  pugi::xml_node child = parent.child(name);
  if (!child) child = parent.append_child(name);
  return child;
}

void SetAttribute(pugi::xml_node node, const char* name, const std::string& value) {
  pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) attribute = node.append_attribute(name);
  attribute.set_value(value.c_str());
}

ConvertSide ReadSide(pugi::xml_node side) {
  return ConvertSide{side.child("type").attribute("id").value(),
                     side.child("format").attribute("name").value(),
                     side.child("file").attribute("name").value()};
}

void WriteSide(pugi::xml_node side, const ConvertSide& values) {
  SetAttribute(Child(side, "type"), "id", values.typeId);
  SetAttribute(Child(side, "format"), "name", values.formatName);
  SetAttribute(Child(side, "file"), "name", values.filePath);
}

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

std::string ReadEditorCommand(pugi::xml_node settings) {
  return settings.child("conversion").child("xmleditor").attribute("name").value();
}

ConvertSelections ReadConvertSelections(pugi::xml_node settings) {
  pugi::xml_node dialog = settings.child("conversion").child("dialog");
  return ConvertSelections{ReadSide(dialog.child("from")), ReadSide(dialog.child("to"))};
}

void WriteConvertSelections(pugi::xml_node settings, const ConvertSelections& selections) {
  if (!settings) return;
  pugi::xml_node dialog = Child(Child(settings, "conversion"), "dialog");
  WriteSide(Child(dialog, "from"), selections.from);
  WriteSide(Child(dialog, "to"), selections.to);
}

bool SetConversionSource(pugi::xml_node settings, const FormatList& formats,
                         const std::string& formatName, const std::string& filePath) {
  if (!settings) return false;
  const FormatDefinition* format = formats.Find(formatName);
  pugi::xml_node from = Child(Child(Child(settings, "conversion"), "dialog"), "from");
  WriteSide(from, ConvertSide{format ? format->Type() : std::string(), formatName, filePath});
  return true;
}

std::vector<std::string> FormatNamesOfType(const FormatList& formats, const std::string& typeId) {
  std::vector<std::string> names;
  for (size_t i = 0; i < formats.Count(); ++i) {
    if (formats.At(i)->Type() == typeId) names.push_back(formats.At(i)->Name());
  }
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
  return names;
}

std::vector<IdName> ReadIdList(pugi::xml_node settings, const char* list, const char* item) {
  std::vector<IdName> entries;
  for (pugi::xml_node node = settings.child("conversion").child(list).child(item); node;
       node = node.next_sibling(item)) {
    entries.push_back({node.attribute("id").value(), node.attribute("name").value()});
  }
  return entries;
}

}  // namespace ulvo
