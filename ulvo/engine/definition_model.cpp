#include "ulvo/engine/definition_model.h"

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

void WriteElementItem(pugi::xml_node parent, const ElementDefinition& item) {
  pugi::xml_node element = Checked(parent.append_child("element"));
  element.append_attribute("id") = item.Id().c_str();
  if (item.Width() > 0) element.append_attribute("width") = std::to_string(item.Width()).c_str();
  if (item.Fill() != ' ') {
    element.append_attribute("fill") = BytesToText(std::string(1, item.Fill())).c_str();
  }
  if (item.AlignRight()) element.append_attribute("align") = "right";
  if (item.Sign()) element.append_attribute("sign") = "true";
  if (item.Offset() != 0.0) {
    element.append_attribute("offset") = FormatFixed(item.Offset(), 6).c_str();
  }
}

void WriteLiteralItem(pugi::xml_node parent, LiteralDefinition& item) {
  pugi::xml_node literal = Checked(parent.append_child("literal"));
  // A text of spaces would be lost as white space when the file is read again.
  if (item.Text().find(' ') != std::string::npos) item.SetHex(true);
  if (item.Hex()) literal.append_attribute("hex") = "true";
  const std::string text = item.Hex() ? item.Text() : BytesToText(item.Text());
  Checked(literal.append_child(pugi::node_pcdata)).set_value(text.c_str());
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
    const char* tag = child.name();
    if (std::strcmp(tag, "terminated") == 0) {
      ReadItems(child);
    } else if (std::strcmp(tag, "element") == 0) {
      auto item = std::make_unique<ElementDefinition>();
      item->SetId(child.attribute("id").value());
      if (pugi::xml_attribute a = child.attribute("width")) item->SetWidth(ReadInt(a.value()));
      if (pugi::xml_attribute a = child.attribute("fill"); a && *a.value()) {
        item->SetFill(TextToBytes(a.value())[0]);
      }
      if (std::strcmp(child.attribute("align").value(), "right") == 0) item->SetAlignRight(true);
      if (std::strcmp(child.attribute("sign").value(), "true") == 0) item->SetSign(true);
      if (pugi::xml_attribute a = child.attribute("offset")) {
        item->SetOffset(ReadDouble(a.value()));
      }
      items_.push_back(std::move(item));
    } else if (std::strcmp(tag, "literal") == 0) {
      auto item = std::make_unique<LiteralDefinition>();
      const bool hex = std::strcmp(child.attribute("hex").value(), "true") == 0;
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
  items_.erase(items_.begin() + static_cast<long>(index));
  modified_ = true;
}

bool GroupDefinition::IsModified() const {
  if (modified_) return true;
  for (const auto& item : items_) {
    if (item->Modified()) return true;
  }
  return false;
}

void GroupDefinition::Rewrite() {
  if (!element_) throw DocumentError("group has no element");
  // The group's comments stay, ahead of the items, since their place among edited items
  // cannot be known.
  for (pugi::xml_node child = element_.first_child(); child;) {
    const pugi::xml_node next = child.next_sibling();
    if (child.type() != pugi::node_comment) element_.remove_child(child);
    child = next;
  }
  size_t i = 0;
  while (i < items_.size()) {
    auto* element = dynamic_cast<ElementDefinition*>(items_[i].get());
    auto* next =
        i + 1 < items_.size() ? dynamic_cast<LiteralDefinition*>(items_[i + 1].get()) : nullptr;
    if (element && element->Width() <= 0 && next) {
      pugi::xml_node terminated = Checked(element_.append_child("terminated"));
      WriteElementItem(terminated, *element);
      WriteLiteralItem(terminated, *next);
      i += 2;
    } else if (element) {
      WriteElementItem(element_, *element);
      ++i;
    } else {
      WriteLiteralItem(element_, *static_cast<LiteralDefinition*>(items_[i].get()));
      ++i;
    }
  }
  modified_ = false;
}

}  // namespace ulvo
