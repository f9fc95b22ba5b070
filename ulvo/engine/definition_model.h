#pragma once

#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace ulvo {

// One item of a simple format's record kind, as the design editor sees it.
class ItemDefinition {
 public:
  virtual ~ItemDefinition() = default;
  bool Modified() const { return modified_; }
  void SetModified(bool on) { modified_ = on; }
  // The item's element in the definition; empty for an item not written yet.
  pugi::xml_node Node() const { return node_; }
  void SetNode(pugi::xml_node node) { node_ = node; }

 private:
  bool modified_ = false;
  pugi::xml_node node_;
};

// A value field. Factor and precision are not part of the model: the element keeps them, as
// it keeps everything the editor does not change.
class ElementDefinition : public ItemDefinition {
 public:
  const std::string& Id() const { return id_; }
  void SetId(std::string id) { id_ = std::move(id); }
  int Width() const { return width_; }
  void SetWidth(int width) { width_ = width; }
  char Fill() const { return fill_; }
  void SetFill(char fill) { fill_ = fill; }
  bool AlignRight() const { return alignRight_; }
  void SetAlignRight(bool on) { alignRight_ = on; }
  bool Sign() const { return sign_; }
  void SetSign(bool on) { sign_ = on; }
  double Offset() const { return offset_; }
  void SetOffset(double offset) { offset_ = offset; }

 private:
  std::string id_;
  int width_ = 0;
  char fill_ = ' ';
  bool alignRight_ = false;
  bool sign_ = false;
  double offset_ = 0.0;
};

// Fixed text; with hex the text holds two hexadecimal digits per byte.
class LiteralDefinition : public ItemDefinition {
 public:
  const std::string& Text() const { return text_; }
  bool Hex() const { return hex_; }
  void SetText(std::string text);
  void SetHex(bool on);

 private:
  std::string text_;  // data bytes, or hexadecimal digits
  bool hex_ = false;
};

// One record kind of a simple format: the `group` element and its items.
class GroupDefinition {
 public:
  // Reads the items from the element's children.
  explicit GroupDefinition(pugi::xml_node element);

  pugi::xml_node Element() const { return element_; }
  std::string Id() const;
  void SetId(const std::string& id);
  std::string Name() const;
  void SetName(const std::string& name);

  size_t ItemCount() const { return items_.size(); }
  ItemDefinition* Item(size_t index) const { return items_.at(index).get(); }
  ElementDefinition* InsertElement(size_t index);
  LiteralDefinition* InsertLiteral(size_t index);
  void RemoveItem(size_t index);

  bool IsModified() const;
  // Brings the element's children in line with the items. Only what was edited changes:
  // removed items lose their elements, edited ones only the attributes that changed, new
  // ones are placed after their predecessor. Everything else (factor, precision, comments,
  // other content) stays. An element without a width directly followed by a literal forms a
  // terminated pair where an edit touched them.
  void Rewrite();

 private:
  void ReadItems(pugi::xml_node parent);
  pugi::xml_node TopBelowGroup(pugi::xml_node node) const;
  void RemoveItemNode(pugi::xml_node node);
  void PlaceNewItem(size_t index);
  void PairItems(size_t index);

  pugi::xml_node element_;
  std::vector<std::unique_ptr<ItemDefinition>> items_;
  std::vector<pugi::xml_node> removed_;      // elements of removed items, taken out at Rewrite
  std::vector<ItemDefinition*> neighbours_;  // items that met where one was removed
  bool modified_ = false;
};

}  // namespace ulvo
