#include "ulvo/engine/definition_model.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "ulvo/engine/parser.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

pugi::xml_node Checked(pugi::xml_node node) {
  if (!node) throw DocumentError("cannot create definition node");
  return node;
}

void SetAttribute(pugi::xml_node element, const char* name, const std::string& value) {
  pugi::xml_attribute attribute = element.attribute(name);
  if (!attribute) attribute = element.append_attribute(name);
  if (!attribute) throw DocumentError("cannot set attribute");
  attribute.set_value(value.c_str());
}

bool IsTag(pugi::xml_node node, const char* tag) {
  return std::strcmp(node.name(), tag) == 0;
}

bool IsTrue(pugi::xml_node node, const char* attribute) {
  return std::strcmp(node.attribute(attribute).value(), "true") == 0;
}

// The element's formatting as the loader reads it.
int WidthOf(pugi::xml_node node) {
  const pugi::xml_attribute a = node.attribute("width");
  return a ? ReadInt(a.value()) : 0;
}

char FillOf(pugi::xml_node node) {
  const pugi::xml_attribute a = node.attribute("fill");
  return a && *a.value() ? TextToBytes(a.value())[0] : ' ';
}

double OffsetOf(pugi::xml_node node) {
  const pugi::xml_attribute a = node.attribute("offset");
  return a ? ReadDouble(a.value()) : 0.0;
}

// Sets or removes an attribute whose meaning changed; one that still means the same stays as
// it was written.
void Update(pugi::xml_node node, const char* name, bool changed, bool isDefault,
            const std::string& value) {
  if (!changed) return;
  if (isDefault) {
    node.remove_attribute(name);
  } else {
    SetAttribute(node, name, value);
  }
}

void WriteElementItem(pugi::xml_node node, const ElementDefinition& item) {
  if (!node.attribute("id") || item.Id() != node.attribute("id").value()) {
    SetAttribute(node, "id", item.Id());
  }
  Update(node, "width", WidthOf(node) != item.Width(), item.Width() <= 0,
         std::to_string(item.Width()));
  Update(node, "fill", FillOf(node) != item.Fill(), item.Fill() == ' ',
         BytesToText(std::string(1, item.Fill())));
  Update(node, "align",
         (std::strcmp(node.attribute("align").value(), "right") == 0) != item.AlignRight(),
         !item.AlignRight(), "right");
  Update(node, "sign", IsTrue(node, "sign") != item.Sign(), !item.Sign(), "true");
  Update(node, "offset", OffsetOf(node) != item.Offset(), item.Offset() == 0.0,
         FormatFixed(item.Offset(), 6));
}

// Spaces and control characters would not come back from the file as they were: such a text
// is written in hexadecimal.
bool NeedsHex(const std::string& bytes) {
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) return true;
  }
  return false;
}

void WriteLiteralItem(pugi::xml_node node, LiteralDefinition& item) {
  if (!item.Hex() && NeedsHex(item.Text())) item.SetHex(true);
  if (IsTrue(node, "hex") != item.Hex()) {
    if (item.Hex()) {
      SetAttribute(node, "hex", "true");
    } else {
      node.remove_attribute("hex");
    }
  }
  const std::string text = item.Hex() ? item.Text() : BytesToText(item.Text());
  pugi::xml_node pcdata =
      node.find_child([](pugi::xml_node n) { return n.type() == pugi::node_pcdata; });
  if (text.empty()) {
    if (pcdata) node.remove_child(pcdata);
  } else if (!pcdata) {
    Checked(node.append_child(pugi::node_pcdata)).set_value(text.c_str());
  } else if (text != pcdata.value()) {
    pcdata.set_value(text.c_str());
  }
}

std::vector<pugi::xml_node> ElementChildren(pugi::xml_node node) {
  std::vector<pugi::xml_node> children;
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element) children.push_back(c);
  return children;
}

pugi::xml_node NextElement(pugi::xml_node node) {
  for (pugi::xml_node n = node.next_sibling(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element) return n;
  return {};
}

// Puts a container's children in its place.
void Unwrap(pugi::xml_node container) {
  pugi::xml_node parent = container.parent();
  for (pugi::xml_node child = container.first_child(); child;) {
    const pugi::xml_node next = child.next_sibling();
    if (!parent.insert_move_before(child, container)) throw DocumentError("cannot move item");
    child = next;
  }
  parent.remove_child(container);
}

}  // namespace

void LiteralDefinition::SetText(std::string text) {
  text_ = std::move(text);
  SetModified(true);
}

void LiteralDefinition::SetHex(bool on) {
  if (on == hex_) return;
  text_ = on ? BytesToHex(text_) : HexToBytes(text_);
  hex_ = on;
  SetModified(true);
}

GroupDefinition::GroupDefinition(pugi::xml_node element) : element_(element) {
  ReadItems(element_);
}

void GroupDefinition::ReadItems(pugi::xml_node parent) {
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    if (IsTag(child, "terminated")) {
      ReadItems(child);
    } else if (IsTag(child, "element")) {
      auto item = std::make_unique<ElementDefinition>();
      item->SetId(child.attribute("id").value());
      item->SetWidth(WidthOf(child));
      item->SetFill(FillOf(child));
      item->SetAlignRight(std::strcmp(child.attribute("align").value(), "right") == 0);
      item->SetSign(IsTrue(child, "sign"));
      item->SetOffset(OffsetOf(child));
      item->SetNode(child);
      items_.push_back(std::move(item));
    } else if (IsTag(child, "literal")) {
      auto item = std::make_unique<LiteralDefinition>();
      const bool hex = IsTrue(child, "hex");
      if (hex) item->SetHex(true);
      pugi::xml_node text =
          child.find_child([](pugi::xml_node n) { return n.type() == pugi::node_pcdata; });
      item->SetText(hex ? std::string(text.value()) : TextToBytes(text.value()));
      if (item->Hex()) {
        // Printable ASCII is shown as characters, anything else as hexadecimal digits.
        item->SetHex(false);
        for (char c : item->Text()) {
          const auto u = static_cast<unsigned char>(c);
          if (u < 0x20 || u > 0x7E) {
            item->SetHex(true);
            break;
          }
        }
      }
      // Reading is no edit: a group only rewritten when really changed keeps what the model
      // cannot hold (factor, precision, comments, layout).
      item->SetModified(false);
      item->SetNode(child);
      items_.push_back(std::move(item));
    }
  }
}

std::string GroupDefinition::Id() const {
  return element_.attribute("id").value();
}

void GroupDefinition::SetId(const std::string& id) {
  SetAttribute(element_, "id", id);
  modified_ = true;
}

std::string GroupDefinition::Name() const {
  return element_.attribute("name").value();
}

void GroupDefinition::SetName(const std::string& name) {
  SetAttribute(element_, "name", name);
  modified_ = true;
}

ElementDefinition* GroupDefinition::InsertElement(size_t index) {
  if (index > items_.size()) index = items_.size();
  auto item = std::make_unique<ElementDefinition>();
  ElementDefinition* raw = item.get();
  items_.insert(items_.begin() + static_cast<long>(index), std::move(item));
  modified_ = true;
  return raw;
}

LiteralDefinition* GroupDefinition::InsertLiteral(size_t index) {
  if (index > items_.size()) index = items_.size();
  auto item = std::make_unique<LiteralDefinition>();
  LiteralDefinition* raw = item.get();
  items_.insert(items_.begin() + static_cast<long>(index), std::move(item));
  modified_ = true;
  return raw;
}

void GroupDefinition::RemoveItem(size_t index) {
  if (index >= items_.size()) return;
  ItemDefinition* item = items_[index].get();
  if (item->Node()) removed_.push_back(item->Node());
  neighbours_.erase(std::remove(neighbours_.begin(), neighbours_.end(), item), neighbours_.end());
  // The items that meet where it was may now form a pair, or stop forming one.
  if (index > 0) neighbours_.push_back(items_[index - 1].get());
  if (index + 1 < items_.size()) neighbours_.push_back(items_[index + 1].get());
  items_.erase(items_.begin() + static_cast<long>(index));
  modified_ = true;
}

bool GroupDefinition::IsModified() const {
  if (modified_ || !removed_.empty()) return true;
  for (const auto& item : items_) {
    if (item->Modified() || !item->Node()) return true;
  }
  return false;
}

pugi::xml_node GroupDefinition::TopBelowGroup(pugi::xml_node node) const {
  while (node && node.parent() != element_) node = node.parent();
  return node;
}

void GroupDefinition::RemoveItemNode(pugi::xml_node node) {
  pugi::xml_node parent = node.parent();
  if (!parent) return;
  parent.remove_child(node);
  // A terminated pair that lost a half is no pair any more.
  while (parent != element_ && IsTag(parent, "terminated")) {
    const size_t left = ElementChildren(parent).size();
    if (left == 1) Unwrap(parent);
    if (left != 0) break;
    pugi::xml_node up = parent.parent();
    up.remove_child(parent);
    parent = up;
  }
}

void GroupDefinition::PlaceNewItem(size_t index) {
  ItemDefinition* item = items_[index].get();
  auto* element = dynamic_cast<ElementDefinition*>(item);
  const char* tag = element ? "element" : "literal";
  const pugi::xml_node previous = index > 0 ? items_[index - 1]->Node() : pugi::xml_node();
  pugi::xml_node next;
  for (size_t k = index + 1; k < items_.size() && !next; ++k) next = items_[k]->Node();
  // An item between the two halves of a pair splits it.
  while (previous && next && TopBelowGroup(previous) == TopBelowGroup(next)) {
    Unwrap(TopBelowGroup(previous));
  }
  pugi::xml_node node;
  if (previous) {
    node = element_.insert_child_after(tag, TopBelowGroup(previous));
  } else if (next) {
    node = element_.insert_child_before(tag, TopBelowGroup(next));
  } else {
    node = element_.append_child(tag);
  }
  item->SetNode(Checked(node));
  if (element) {
    WriteElementItem(node, *element);
  } else {
    WriteLiteralItem(node, *static_cast<LiteralDefinition*>(item));
  }
}

void GroupDefinition::PairItems(size_t index) {
  auto* element = dynamic_cast<ElementDefinition*>(items_[index].get());
  if (!element) return;
  auto* literal = index + 1 < items_.size()
                      ? dynamic_cast<LiteralDefinition*>(items_[index + 1].get())
                      : nullptr;
  const pugi::xml_node field = element->Node();
  const pugi::xml_node parent = field.parent();
  const bool paired =
      literal && parent != element_ && IsTag(parent, "terminated") &&
      ElementChildren(parent) == std::vector<pugi::xml_node>{field, literal->Node()};
  const bool wanted = literal && element->Width() <= 0;
  if (wanted && !paired) {
    const pugi::xml_node terminator = literal->Node();
    if (parent != element_ || terminator.parent() != element_ || NextElement(field) != terminator) {
      return;  // not side by side in the group: their place is the author's
    }
    pugi::xml_node pair = Checked(element_.insert_child_before("terminated", field));
    if (!pair.append_move(field) || !pair.append_move(terminator)) {
      throw DocumentError("cannot move item");
    }
  } else if (!wanted && paired) {
    Unwrap(parent);
  }
}

void GroupDefinition::Rewrite() {
  if (!element_) throw DocumentError("group has no element");
  for (const pugi::xml_node node : removed_) RemoveItemNode(node);
  removed_.clear();
  std::vector<bool> touched(items_.size(), false);
  auto touch = [&touched](size_t i) {
    if (i < touched.size()) touched[i] = true;
  };
  for (size_t i = 0; i < items_.size(); ++i) {
    ItemDefinition* item = items_[i].get();
    if (!item->Node() || !item->Modified()) continue;
    if (auto* element = dynamic_cast<ElementDefinition*>(item)) {
      const bool variable = WidthOf(item->Node()) <= 0;
      WriteElementItem(item->Node(), *element);
      if (variable != (element->Width() <= 0)) touch(i);
    } else {
      WriteLiteralItem(item->Node(), *static_cast<LiteralDefinition*>(item));
    }
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->Node()) continue;
    PlaceNewItem(i);
    touch(i);
    if (i > 0) touch(i - 1);
  }
  for (ItemDefinition* neighbour : neighbours_) {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].get() == neighbour) touch(i);
    }
  }
  neighbours_.clear();
  for (size_t i = 0; i < items_.size(); ++i) {
    if (touched[i] || (i + 1 < items_.size() && touched[i + 1])) PairItems(i);
  }
  for (const auto& item : items_) item->SetModified(false);
  modified_ = false;
}

}  // namespace ulvo
