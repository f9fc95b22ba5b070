#pragma once

#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ulvo/engine/byte_stream.h"

namespace ulvo {

// A document operation that cannot be carried out (a null node, a name XML refuses). It ends
// the whole run; the file-level operations turn it into a false result.
class DocumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One node of a format's parser tree. The same tree reads bytes into the instrument data
// document (Parse) and writes the document's values out again (Write).
class Parser {
 public:
  virtual ~Parser() = default;
  // Consumes at most avail bytes at the position of in; records the values under target.
  virtual bool Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) = 0;
  // Writes bytes for the values found in source at the end of out.
  virtual bool Write(pugi::xml_node source, OutputBuffer& out) = 0;
};

// A sequence of children; the base of every structural kind.
class MultiParser : public Parser {
 public:
  ~MultiParser() override;

  void Append(std::unique_ptr<Parser> child) { children_.push_back(std::move(child)); }
  size_t Count() const { return children_.size(); }
  Parser* Child(size_t index) const { return children_[index].get(); }

  bool Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) override;
  bool Write(pugi::xml_node source, OutputBuffer& out) override;

 protected:
  bool ParseSequence(InputBuffer& in, uint32_t avail, pugi::xml_node target);
  bool WriteSequence(pugi::xml_node source, OutputBuffer& out);

 private:
  std::vector<std::unique_ptr<Parser>> children_;
};

// One record: writes the first child node of source that its sequence can write, then
// takes that node out of the document.
class NodeParser : public MultiParser {
 public:
  bool Write(pugi::xml_node source, OutputBuffer& out) override;
};

// A record kind: with an id, parsing wraps the values in an element of that name and
// writing accepts only such an element; without one it is a plain sequence.
class GroupParser : public MultiParser {
 public:
  explicit GroupParser(std::string id);
  const std::string& Id() const { return id_; }

  bool Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) override;
  bool Write(pugi::xml_node source, OutputBuffer& out) override;

 private:
  std::string id_;
  bool validName_;
};

// The first child that succeeds.
class RadioParser : public MultiParser {
 public:
  bool Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) override;
  bool Write(pugi::xml_node source, OutputBuffer& out) override;
};

// The sequence as often as it succeeds. An iteration that consumes no input (or, writing,
// takes no record out of the document) is the last one, so such content cannot loop forever.
class RepeatParser : public MultiParser {
 public:
  bool Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) override;
  bool Write(pugi::xml_node source, OutputBuffer& out) override;
};

// The sequence, succeeding whatever its result.
class OptionalParser : public MultiParser {
 public:
  bool Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) override;
  bool Write(pugi::xml_node source, OutputBuffer& out) override;
};

// Content (first child) up to the first place where the terminator (second child) matches.
class TerminatedParser : public MultiParser {
 public:
  bool Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) override;

 private:
  // The byte strings a match of the terminator can read, when it is made of literals only
  // (a literal, a choice or sequence of them): the search then goes straight to the places
  // where one stands instead of trying every offset. Worked out at the first parse, once
  // the tree is complete.
  bool candidatesKnown_ = false;
  bool literalOnly_ = false;
  std::vector<std::string> candidates_;
};

// One value of a record as a sink that takes values sees it: its path ("GROUP/ELEMENT"
// inside a nested record) and its text; views valid during the call only.
struct FlatValue {
  std::string_view path;
  std::string_view text;
};

// Takes the top-level items of a parse (records, values outside every record and their
// layout text) out of the document as they complete, so that a long input never has to be
// held as one document. An item at the top level is final once complete: a failing sequence
// leaves what its children stored, and only a record still being read is ever taken back.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // Called once the input has been read, before anything is stored under data.
  void Start(pugi::xml_node data);
  // Called by the nodes after storing into target. When target is the top level, every item
  // stored since the last call is complete and goes to Take, in document order.
  void Completed(pugi::xml_node target) {
    if (target == data_) TakeCompleted();
  }
  // Element items taken so far.
  size_t Elements() const { return elements_; }
  // Whether the items need their layout text: not when only their values are looked at.
  virtual bool KeepsLayout() const { return true; }

  // A sink that takes values gets each top-level element item also as its name and flat
  // values (TakeValues, just before the item's Take), the values as the document holds
  // them: text of white space only is none. One that needs no nodes besides takes them
  // without a document: the parse then builds no nodes at all.
  bool NotesValues() const { return notesValues_; }
  // Memory the parse reads its input into and leaves the input in, for the next parse that
  // shares it; none by default.
  void ShareMemory(ByteBlock* block) { shared_ = block; }
  ByteBlock* SharedMemory() const { return shared_; }
  bool ValuesOnly() const { return valuesOnly_; }
  // A record begins; the mark undoes what follows it when the record fails. The ids name
  // records and values, and must outlive the parse.
  size_t OpenGroup(const std::string& id);
  void CloseGroup(size_t mark, bool parsed);
  void AddValue(const std::string& id, const std::string& bytes);

  // Where one value of a record stands: its path and text in the record's held bytes.
  struct Span {
    std::string_view fixedPath;  // the field's own name, at the top of a record
    size_t path, pathLength, text, textLength;
  };

 protected:
  virtual bool TakesValues() const { return false; }
  virtual bool TakesNodes() const { return true; }
  virtual void Started(pugi::xml_node) {}
  // One complete item. The sink may move it elsewhere in its document; an item left in place
  // is removed after the call.
  virtual void Take(pugi::xml_node) {}
  // One complete top-level item of a sink that takes values.
  virtual void TakeValues(std::string_view, const std::vector<FlatValue>&) {}
  // The same item as the sink holds it, its values' paths and texts in `held` where `spans`
  // say; by default made flat for TakeValues. The name outlives the parse.
  virtual void TakeHeld(std::string_view name, std::string_view held,
                        const std::vector<Span>& spans);
  // After the items of one completion.
  virtual void Taken() {}

 private:
  void TakeCompleted();
  void Deliver(std::string_view name);

  pugi::xml_node data_;
  pugi::xml_node kept_;  // the last child present at Start: taking begins after it
  size_t elements_ = 0;

  // The record being read when values are taken: held_ keeps each value's path and text,
  // spans_ where they stand; path_ is the groups open below the record, each ended by '/'.
  ByteBlock* shared_ = nullptr;
  bool notesValues_ = false;
  bool valuesOnly_ = false;
  std::string_view recordName_;
  std::string path_;
  std::vector<size_t> groupPaths_;
  std::string held_;
  std::vector<Span> spans_;
  std::vector<FlatValue> flat_;
};

// Layout text of the instrument data document: the same whatever the depth.
void AppendText(pugi::xml_node parent, const char* text);

}  // namespace ulvo
