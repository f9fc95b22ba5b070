#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

namespace ulvo {

// One entry of an identifier list of the settings document ("types", "groups", "elements").
struct IdName {
  std::string id;
  std::string name;
};

// The rows of the identifier list dialog, edited in memory and written back on OK.
class IdNameList {
 public:
  // Every child of listNode with the tag, in document order.
  void Read(pugi::xml_node listNode, const std::string& tag);
  // Replaces the children with the tag by the rows, in row order; other children stay.
  void Write(pugi::xml_node listNode, const std::string& tag) const;

  const std::vector<IdName>& Rows() const { return rows_; }
  size_t Count() const { return rows_.size(); }
  const IdName& Row(size_t index) const { return rows_.at(index); }

  // Appends a row and returns its index.
  size_t Add(const std::string& id, const std::string& name);
  // Deletes a row; returns the row that takes its place, or -1 when none does.
  int Remove(size_t index);
  void SetId(size_t index, const std::string& id);
  void SetName(size_t index, const std::string& name);
  // Sorts by identifier (column 0) or name (column 1), ignoring letter case; ties keep
  // their order. Returns where the row at index selected went (-1 for none).
  int Sort(int column, int selected = -1);

  // The first identifier that cannot name a record or value of the instrument data
  // document; empty when all can.
  std::string FirstInvalidXmlName() const;

 private:
  std::vector<IdName> rows_;
};

// Identifiers never hold spaces: text without them, and whether any were removed.
std::string RemoveSpaces(const std::string& text, bool* removed);

// The list node below the settings element, "conversion/<list>"; created when missing so
// the dialog can still fill it.
pugi::xml_node IdListNode(pugi::xml_node settings, const char* list);

// The name of an identifier in a list; empty when the identifier is not listed.
std::string NameOfId(const std::vector<IdName>& list, const std::string& id);

}  // namespace ulvo
