#pragma once

#include <pugixml.hpp>
#include <string>
#include <unordered_map>
#include <vector>

namespace ulvo {

// Where every node of a definition stood in the text it was read from, so that saving writes
// what was not edited back byte for byte (indentation, line ends, quotes, references) and
// places new nodes like their neighbours. Users keep definitions under version control: a
// save must change only the lines that were edited.
class DefinitionLayout {
 public:
  // Records doc, just parsed from text (UTF-8, no byte order mark) and not yet changed. False,
  // and nothing kept, when the positions cannot be told; Write then cannot be used.
  bool Record(const pugi::xml_document& doc, std::string text);
  bool Recorded() const { return recorded_; }
  void Clear();

  // The text of doc: nodes that did not change as they were read; changed start tags with
  // only their changed attributes rewritten; new nodes indented like their neighbours.
  std::string Write(const pugi::xml_document& doc) const;

 private:
  using Key = const void*;
  struct Attribute {
    std::string name;
    std::string value;  // as the document held it when read
    size_t begin = 0;   // the white space before the name
    size_t valueBegin = 0;
    size_t valueEnd = 0;
  };
  struct Node {
    pugi::xml_node_type type = pugi::node_null;
    Key parent = nullptr;
    size_t lead = 0;   // start of the white space before the node
    size_t begin = 0;  // the node itself: [begin, end)
    size_t end = 0;
    size_t nameEnd = 0;  // element: end of the tag name
    size_t tagEnd = 0;   // element: end of the start tag
    size_t endTag = 0;   // element: start of the end tag; end when it closes itself
    bool selfClosing = false;
    std::string name;
    std::string value;
    std::vector<Attribute> attributes;
    std::vector<Key> children;
  };
  using Memo = std::unordered_map<Key, bool>;

  bool RecordChildren(pugi::xml_node parent, size_t from, size_t& to, int depth);
  bool RecordNode(pugi::xml_node node, Key parent, size_t from, size_t& to, int depth);
  bool ScanStartTag(Node& node) const;
  bool FindIndentUnit(pugi::xml_node element);
  const Node* FindKey(Key key) const;
  const Node* Find(pugi::xml_node node) const;
  static bool SameAttributes(pugi::xml_node node, const Node& rec);
  bool Unchanged(pugi::xml_node node, Memo& memo) const;
  bool InPlace(pugi::xml_node node) const;
  std::string RecordedLead(const Node& rec) const;
  std::string Lead(pugi::xml_node node) const;
  bool Indent(pugi::xml_node element, std::string& indent) const;
  std::string StartTag(pugi::xml_node node, const Node* rec) const;
  void Emit(pugi::xml_node node, Memo& memo, std::string& out) const;
  void EmitElement(pugi::xml_node node, Memo& memo, std::string& out) const;

  bool recorded_ = false;
  std::string text_;
  std::unordered_map<Key, Node> nodes_;
  Key document_ = nullptr;
  size_t documentTail_ = 0;
  std::string lineEnd_ = "\n";
  std::string indentUnit_ = "\t";
};

}  // namespace ulvo
