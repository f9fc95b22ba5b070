#include "ulvo/engine/definition_layout.h"

#include <cstring>

namespace ulvo {
namespace {

// Deeper documents are saved without their layout: the walks here recurse. Definitions that
// load nest their parser nodes far less deep.
constexpr int kMaxLayoutDepth = 512;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool AllSpace(std::string_view text) {
  for (char c : text)
    if (!IsSpace(c)) return false;
  return true;
}

bool Textual(pugi::xml_node node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

std::string EscapeAttribute(std::string_view value, char quote) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      // White space in a value is read back as a blank unless written as a reference.
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (c == quote) {
          out += quote == '"' ? "&quot;" : "&apos;";
        } else {
          out.push_back(c);
        }
    }
  }
  return out;
}

std::string EscapeText(std::string_view value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      // A bare CR would be read back as a line feed.
      case '\r':
        out += "&#13;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string FreshAttributes(pugi::xml_node node) {
  std::string out;
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    out += ' ';
    out += a.name();
    out += "=\"" + EscapeAttribute(a.value(), '"') + '"';
  }
  return out;
}

// The text after the last line break of a lead; false when the lead breaks no line.
bool IndentOf(const std::string& lead, std::string& indent) {
  const size_t at = lead.find_last_of('\n');
  if (at == std::string::npos) return false;
  indent = lead.substr(at + 1);
  return true;
}

}  // namespace

void DefinitionLayout::Clear() {
  recorded_ = false;
  text_.clear();
  nodes_.clear();
  document_ = nullptr;
  documentTail_ = 0;
  lineEnd_ = "\n";
  indentUnit_ = "\t";
}

bool DefinitionLayout::Record(const pugi::xml_document& doc, std::string text) {
  Clear();
  text_ = std::move(text);
  document_ = doc.internal_object();
  const size_t lf = text_.find('\n');
  if (lf != std::string::npos && lf > 0 && text_[lf - 1] == '\r') lineEnd_ = "\r\n";
  size_t end = 0;
  if (!RecordChildren(doc, 0, end, 0) || !AllSpace(std::string_view(text_).substr(end))) {
    Clear();
    return false;
  }
  documentTail_ = end;
  FindIndentUnit(doc.document_element());
  recorded_ = true;
  return true;
}

bool DefinitionLayout::FindIndentUnit(pugi::xml_node element) {
  // The step a line-broken child adds to its parent's indentation, at its first occurrence.
  std::string outer;
  if (!IndentOf(RecordedLead(*Find(element)), outer)) outer.clear();
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    std::string inner;
    if (IndentOf(RecordedLead(*Find(child)), inner) && inner.size() > outer.size() &&
        inner.compare(0, outer.size(), outer) == 0) {
      indentUnit_ = inner.substr(outer.size());
      return true;
    }
    if (FindIndentUnit(child)) return true;
  }
  return false;
}

bool DefinitionLayout::RecordChildren(pugi::xml_node parent, size_t from, size_t& to, int depth) {
  if (depth > kMaxLayoutDepth) return false;
  size_t at = from;
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (!RecordNode(child, parent.internal_object(), at, at, depth)) return false;
  }
  to = at;
  return true;
}

bool DefinitionLayout::ScanStartTag(Node& node) const {
  size_t at = node.nameEnd;
  const size_t size = text_.size();
  for (;;) {
    const size_t space = at;
    while (at < size && IsSpace(text_[at])) ++at;
    if (at >= size) return false;
    if (text_[at] == '>') {
      node.tagEnd = at + 1;
      return true;
    }
    if (text_[at] == '/') {
      if (at + 1 >= size || text_[at + 1] != '>') return false;
      node.selfClosing = true;
      node.tagEnd = at + 2;
      return true;
    }
    Attribute attribute;
    attribute.begin = space;
    const size_t nameBegin = at;
    while (at < size && !IsSpace(text_[at]) && text_[at] != '=' && text_[at] != '>' &&
           text_[at] != '/') {
      ++at;
    }
    attribute.name = text_.substr(nameBegin, at - nameBegin);
    while (at < size && IsSpace(text_[at])) ++at;
    if (at >= size || text_[at] != '=') return false;
    ++at;
    while (at < size && IsSpace(text_[at])) ++at;
    if (at >= size || (text_[at] != '"' && text_[at] != '\'')) return false;
    const char quote = text_[at];
    attribute.valueBegin = at + 1;
    attribute.valueEnd = text_.find(quote, attribute.valueBegin);
    if (attribute.valueEnd == std::string::npos) return false;
    at = attribute.valueEnd + 1;
    node.attributes.push_back(std::move(attribute));
  }
}

bool DefinitionLayout::RecordNode(pugi::xml_node node, Key parent, size_t from, size_t& to,
                                  int depth) {
  const ptrdiff_t offset = node.offset_debug();
  if (offset < 0) return false;
  const auto at = static_cast<size_t>(offset);
  const size_t size = text_.size();
  auto startsAt = [&](size_t position, std::string_view what) {
    return position <= size && text_.compare(position, what.size(), what) == 0;
  };
  Node rec;
  rec.type = node.type();
  rec.parent = parent;
  rec.lead = from;
  switch (node.type()) {
    case pugi::node_element: {
      rec.name = node.name();
      if (at == 0 || text_[at - 1] != '<' || !startsAt(at, rec.name)) return false;
      rec.begin = at - 1;
      rec.nameEnd = at + rec.name.size();
      if (!ScanStartTag(rec)) return false;
      // The attributes must be the ones the document holds, in its order.
      size_t index = 0;
      for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute(), ++index) {
        if (index >= rec.attributes.size() || rec.attributes[index].name != a.name()) return false;
        rec.attributes[index].value = a.value();
      }
      if (index != rec.attributes.size()) return false;
      if (rec.selfClosing) {
        if (node.first_child()) return false;
        rec.endTag = rec.end = rec.tagEnd;
      } else {
        size_t inner = rec.tagEnd;
        if (!RecordChildren(node, rec.tagEnd, inner, depth + 1)) return false;
        rec.endTag = inner;
        while (rec.endTag < size && IsSpace(text_[rec.endTag])) ++rec.endTag;
        if (!startsAt(rec.endTag, "</")) return false;
        const size_t close = text_.find('>', rec.endTag);
        if (close == std::string::npos) return false;
        rec.end = close + 1;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
          rec.children.push_back(child.internal_object());
        }
      }
      break;
    }
    case pugi::node_pcdata:
      rec.begin = at;
      rec.end = std::min(text_.find('<', at), size);
      rec.value = node.value();
      break;
    case pugi::node_cdata:
      if (at < 9 || !startsAt(at - 9, "<![CDATA[")) return false;
      rec.begin = at - 9;
      rec.end = text_.find("]]>", at);
      if (rec.end == std::string::npos) return false;
      rec.end += 3;
      rec.value = node.value();
      break;
    case pugi::node_comment:
      if (at < 4 || !startsAt(at - 4, "<!--")) return false;
      rec.begin = at - 4;
      rec.end = text_.find("-->", at);
      if (rec.end == std::string::npos) return false;
      rec.end += 3;
      rec.value = node.value();
      break;
    case pugi::node_pi:
    case pugi::node_declaration:
      if (at < 2 || !startsAt(at - 2, "<?")) return false;
      rec.begin = at - 2;
      rec.end = text_.find("?>", at);
      if (rec.end == std::string::npos) return false;
      rec.end += 2;
      rec.name = node.name();
      rec.value = node.value();
      for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        rec.attributes.push_back({a.name(), a.value(), 0, 0, 0});
      }
      break;
    case pugi::node_doctype: {
      rec.begin = text_.rfind("<!DOCTYPE", at);
      if (rec.begin == std::string::npos) return false;
      int brackets = 0;
      char quote = 0;
      size_t p = at;
      for (; p < size; ++p) {
        const char c = text_[p];
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '[') {
          ++brackets;
        } else if (c == ']') {
          --brackets;
        } else if (c == '>' && brackets <= 0) {
          break;
        }
      }
      if (p >= size) return false;
      rec.end = p + 1;
      rec.value = node.value();
      break;
    }
    default:
      return false;
  }
  if (rec.begin < from || !AllSpace(std::string_view(text_).substr(from, rec.begin - from))) {
    return false;
  }
  to = rec.end;
  nodes_[node.internal_object()] = std::move(rec);
  return true;
}

const DefinitionLayout::Node* DefinitionLayout::FindKey(Key key) const {
  auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : &it->second;
}

const DefinitionLayout::Node* DefinitionLayout::Find(pugi::xml_node node) const {
  const Node* rec = FindKey(node.internal_object());
  // A node made where a removed one was may reuse its memory: the kind and name must match.
  if (!rec || rec->type != node.type()) return nullptr;
  if (node.type() == pugi::node_element && rec->name != node.name()) return nullptr;
  return rec;
}

bool DefinitionLayout::SameAttributes(pugi::xml_node node, const Node& rec) {
  size_t index = 0;
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute(), ++index) {
    if (index >= rec.attributes.size() || rec.attributes[index].name != a.name() ||
        rec.attributes[index].value != a.value()) {
      return false;
    }
  }
  return index == rec.attributes.size();
}

bool DefinitionLayout::Unchanged(pugi::xml_node node, Memo& memo) const {
  const Key key = node.internal_object();
  if (auto it = memo.find(key); it != memo.end()) return it->second;
  const Node* rec = Find(node);
  bool same = rec != nullptr;
  if (same) {
    switch (node.type()) {
      case pugi::node_element: {
        same = SameAttributes(node, *rec);
        size_t index = 0;
        for (pugi::xml_node child = node.first_child(); same && child;
             child = child.next_sibling(), ++index) {
          same = index < rec->children.size() && rec->children[index] == child.internal_object() &&
                 Unchanged(child, memo);
        }
        same = same && index == rec->children.size();
        break;
      }
      case pugi::node_declaration:
        same = SameAttributes(node, *rec);
        break;
      case pugi::node_pi:
        same = rec->name == node.name() && rec->value == node.value();
        break;
      default:
        same = rec->value == node.value();
    }
  }
  memo[key] = same;
  return same;
}

bool DefinitionLayout::InPlace(pugi::xml_node node) const {
  const Node* rec = Find(node);
  return rec && rec->parent == node.parent().internal_object();
}

std::string DefinitionLayout::RecordedLead(const Node& rec) const {
  return text_.substr(rec.lead, rec.begin - rec.lead);
}

std::string DefinitionLayout::Lead(pugi::xml_node node) const {
  if (InPlace(node)) return RecordedLead(*Find(node));
  const pugi::xml_node parent = node.parent();
  if (parent.type() == pugi::node_document) return node.previous_sibling() ? lineEnd_ : "";
  // Text never gains white space, nor do the nodes beside it.
  if (Textual(node)) return {};
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (Textual(child)) return {};
  }
  // Like the nearest sibling that kept its place: the one before, else the one after.
  for (pugi::xml_node s = node.previous_sibling(); s; s = s.previous_sibling()) {
    if (s.type() == pugi::node_element && InPlace(s)) return RecordedLead(*Find(s));
  }
  for (pugi::xml_node s = node.next_sibling(); s; s = s.next_sibling()) {
    if (s.type() == pugi::node_element && InPlace(s)) return RecordedLead(*Find(s));
  }
  const Node* rec = Find(parent);
  if (rec && !rec->children.empty()) {
    // The parent's first child of old, moved or removed since, shows where children go.
    if (const Node* first = FindKey(rec->children.front())) return RecordedLead(*first);
  }
  // A new field and its terminator stay on one line, as the editor has always written them.
  if (!rec && std::strcmp(parent.name(), "terminated") == 0) return {};
  std::string indent;
  if (!Indent(parent, indent)) return {};
  return lineEnd_ + indent + indentUnit_;
}

bool DefinitionLayout::Indent(pugi::xml_node element, std::string& indent) const {
  if (element.type() != pugi::node_element) return false;
  return IndentOf(Lead(element), indent);
}

std::string DefinitionLayout::StartTag(pugi::xml_node node, const Node* rec) const {
  if (!rec) return std::string("<") + node.name() + FreshAttributes(node);
  const size_t open = rec->selfClosing ? rec->tagEnd - 2 : rec->tagEnd - 1;
  if (SameAttributes(node, *rec)) return text_.substr(rec->begin, open - rec->begin);
  // Only the attributes that changed are written anew; the others keep their quotes, spacing
  // and references.
  std::string out;
  size_t at = rec->begin;
  for (const Attribute& old : rec->attributes) {
    out.append(text_, at, old.begin - at);
    at = old.valueEnd + 1;
    const pugi::xml_attribute now = node.attribute(old.name.c_str());
    if (!now) continue;  // removed, with the white space before it
    if (old.value == now.value()) {
      out.append(text_, old.begin, at - old.begin);
    } else {
      const char quote = text_[old.valueBegin - 1];
      out.append(text_, old.begin, old.valueBegin - old.begin);
      out += EscapeAttribute(now.value(), quote);
      out += quote;
    }
  }
  if (rec->attributes.empty()) {
    out.append(text_, at, rec->nameEnd - at);
    at = rec->nameEnd;
  }
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    bool known = false;
    for (const Attribute& old : rec->attributes) known = known || old.name == a.name();
    if (known) continue;
    out += ' ';
    out += a.name();
    out += "=\"" + EscapeAttribute(a.value(), '"') + '"';
  }
  out.append(text_, at, open - at);
  return out;
}

void DefinitionLayout::Emit(pugi::xml_node node, Memo& memo, std::string& out) const {
  if (Unchanged(node, memo)) {
    const Node* rec = Find(node);
    out.append(text_, rec->begin, rec->end - rec->begin);
    return;
  }
  switch (node.type()) {
    case pugi::node_element:
      EmitElement(node, memo, out);
      break;
    case pugi::node_pcdata:
      out += EscapeText(node.value());
      break;
    case pugi::node_cdata:
      out += std::string("<![CDATA[") + node.value() + "]]>";
      break;
    case pugi::node_comment:
      out += std::string("<!--") + node.value() + "-->";
      break;
    case pugi::node_pi:
      out += std::string("<?") + node.name() + (*node.value() ? " " : "") + node.value() + "?>";
      break;
    case pugi::node_declaration:
      out += std::string("<?") + node.name() + FreshAttributes(node) + "?>";
      break;
    case pugi::node_doctype:
      out += std::string("<!DOCTYPE ") + node.value() + ">";
      break;
    default:
      break;
  }
}

void DefinitionLayout::EmitElement(pugi::xml_node node, Memo& memo, std::string& out) const {
  const Node* rec = Find(node);
  out += StartTag(node, rec);
  const std::string endTag = rec && !rec->selfClosing
                                 ? text_.substr(rec->endTag, rec->end - rec->endTag)
                                 : std::string("</") + node.name() + ">";
  if (!node.first_child()) {
    if (rec && !rec->selfClosing) {
      out += '>';
      // An element that was empty keeps what stood between its tags.
      if (rec->children.empty()) out.append(text_, rec->tagEnd, rec->endTag - rec->tagEnd);
      out += endTag;
    } else {
      out += "/>";
    }
    return;
  }
  out += '>';
  bool textual = false;
  bool brokenLines = false;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    textual = textual || Textual(child);
    const std::string lead = Lead(child);
    brokenLines = brokenLines || lead.find('\n') != std::string::npos;
    out += lead;
    Emit(child, memo, out);
  }
  if (rec && !rec->selfClosing && !rec->children.empty()) {
    const Node* last = FindKey(rec->children.back());
    if (last) out.append(text_, last->end, rec->endTag - last->end);
  } else if (!textual && brokenLines) {
    std::string indent;
    if (Indent(node, indent)) out += lineEnd_ + indent;
  }
  out += endTag;
}

std::string DefinitionLayout::Write(const pugi::xml_document& doc) const {
  Memo memo;
  std::string out;
  out.reserve(text_.size() + 256);
  for (pugi::xml_node child = doc.first_child(); child; child = child.next_sibling()) {
    out += Lead(child);
    Emit(child, memo, out);
  }
  out.append(text_, documentTail_, std::string::npos);
  return out;
}

}  // namespace ulvo
