#include "ulvo/engine/identifier_list.h"

#include <algorithm>
#include <cctype>

#include "ulvo/engine/parser.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

pugi::xml_node ChildOrNew(pugi::xml_node parent, const char* name) {
  pugi::xml_node child = parent.child(name);
  if (!child) child = parent.append_child(name);
  if (!child) throw DocumentError("cannot create settings node");
  return child;
}

}  // namespace

void IdNameList::Read(pugi::xml_node listNode, const std::string& tag) {
  rows_.clear();
  for (pugi::xml_node node = listNode.child(tag.c_str()); node;
       node = node.next_sibling(tag.c_str())) {
    rows_.push_back({node.attribute("id").value(), node.attribute("name").value()});
  }
}

void IdNameList::Write(pugi::xml_node listNode, const std::string& tag) const {
  if (!listNode) throw DocumentError("identifier list has no node");
  for (pugi::xml_node node = listNode.child(tag.c_str()); node;) {
    const pugi::xml_node next = node.next_sibling(tag.c_str());
    listNode.remove_child(node);
    node = next;
  }
  for (const IdName& row : rows_) {
    pugi::xml_node node = listNode.append_child(tag.c_str());
    if (!node) throw DocumentError("cannot add identifier");
    node.append_attribute("id") = row.id.c_str();
    node.append_attribute("name") = row.name.c_str();
  }
}

size_t IdNameList::Add(const std::string& id, const std::string& name) {
  rows_.push_back({id, name});
  return rows_.size() - 1;
}

int IdNameList::Remove(size_t index) {
  if (index >= rows_.size()) return -1;
  rows_.erase(rows_.begin() + static_cast<long>(index));
  if (rows_.empty()) return -1;
  return static_cast<int>(std::min(index, rows_.size() - 1));
}

void IdNameList::SetId(size_t index, const std::string& id) {
  if (index < rows_.size()) rows_[index].id = id;
}

void IdNameList::SetName(size_t index, const std::string& name) {
  if (index < rows_.size()) rows_[index].name = name;
}

int IdNameList::Sort(int column, int selected) {
  std::vector<size_t> order(rows_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [this, column](size_t a, size_t b) {
    return column == 0 ? LessIgnoringCase(rows_[a].id, rows_[b].id)
                       : LessIgnoringCase(rows_[a].name, rows_[b].name);
  });
  std::vector<IdName> sorted;
  int moved = -1;
  for (size_t i = 0; i < order.size(); ++i) {
    sorted.push_back(std::move(rows_[order[i]]));
    if (static_cast<int>(order[i]) == selected) moved = static_cast<int>(i);
  }
  rows_ = std::move(sorted);
  return moved;
}

std::string IdNameList::FirstInvalidXmlName() const {
  for (const IdName& row : rows_) {
    if (!IsXmlName(row.id)) return row.id;
  }
  return {};
}

std::string RemoveSpaces(const std::string& text, bool* removed) {
  std::string cleaned;
  std::copy_if(text.begin(), text.end(), std::back_inserter(cleaned),
               [](char c) { return c != ' '; });
  if (removed) *removed = cleaned.size() != text.size();
  return cleaned;
}

pugi::xml_node IdListNode(pugi::xml_node settings, const char* list) {
  return ChildOrNew(ChildOrNew(settings, "conversion"), list);
}

std::string NameOfId(const std::vector<IdName>& list, const std::string& id) {
  for (const IdName& entry : list) {
    if (entry.id == id) return entry.name;
  }
  return {};
}

}  // namespace ulvo
