#include "ulvo/engine/parser.h"

#include <cstring>
#include <string_view>
#include <typeinfo>

#include "ulvo/engine/field_parsers.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

constexpr size_t kMaxCandidates = 64;

// The byte strings a successful parse of `node` can read, when it reads fixed bytes only.
// False when it can read anything else (or the strings would be too many to try).
bool LiteralStrings(const Parser* node, std::vector<std::string>& out) {
  out.clear();
  if (const auto* literal = dynamic_cast<const LiteralParser*>(node)) {
    // A zero byte ends the literal's comparison, so what it matches is not its text.
    if (literal->Text().find('\0') != std::string::npos) return false;
    out.push_back(literal->Text());
    return true;
  }
  const auto* multi = dynamic_cast<const MultiParser*>(node);
  if (!multi) return false;
  const std::type_info& kind = typeid(*node);
  const auto* group = dynamic_cast<const GroupParser*>(node);
  const bool sequence =
      kind == typeid(MultiParser) || kind == typeid(NodeParser) || (group && group->Id().empty());
  if (kind == typeid(RadioParser)) {
    // Any child may be the one that matches; a choice without children matches nothing.
    std::vector<std::string> child;
    for (size_t i = 0; i < multi->Count(); ++i) {
      if (!LiteralStrings(multi->Child(i), child)) return false;
      out.insert(out.end(), child.begin(), child.end());
      if (out.size() > kMaxCandidates) return false;
    }
    return true;
  }
  if (!sequence) return false;
  if (multi->Count() == 0) return true;  // an empty sequence fails: no strings
  out.push_back({});
  std::vector<std::string> child, joined;
  for (size_t i = 0; i < multi->Count(); ++i) {
    if (!LiteralStrings(multi->Child(i), child)) return false;
    joined.clear();
    for (const auto& head : out)
      for (const auto& tail : child) joined.push_back(head + tail);
    if (joined.size() > kMaxCandidates) return false;
    out.swap(joined);
  }
  return true;
}

}  // namespace

void AppendText(pugi::xml_node parent, const char* text) {
  pugi::xml_node node = parent.append_child(pugi::node_pcdata);
  if (!node) throw DocumentError("cannot append text");
  node.set_value(text);
}

void RecordSink::Start(pugi::xml_node data) {
  data_ = data;
  kept_ = data.last_child();
  elements_ = 0;
  notesValues_ = TakesValues();
  valuesOnly_ = notesValues_ && !TakesNodes();
  path_.clear();
  groupPaths_.clear();
  held_.clear();
  spans_.clear();
  Started(data);
}

size_t RecordSink::OpenGroup(const std::string& id) {
  if (groupPaths_.empty()) {
    recordName_ = id;
    path_.clear();
    groupPaths_.push_back(0);
    return 0;
  }
  groupPaths_.push_back(path_.size());
  path_ += id;
  path_ += '/';
  return spans_.size();
}

void RecordSink::CloseGroup(size_t mark, bool parsed) {
  path_.resize(groupPaths_.back());
  groupPaths_.pop_back();
  if (!parsed && mark < spans_.size()) {
    held_.resize(spans_[mark].path);
    spans_.resize(mark);
  }
  if (groupPaths_.empty()) {
    if (parsed) Deliver(recordName_);
    held_.clear();
    spans_.clear();
  }
}

void RecordSink::AddValue(const std::string& id, const std::string& bytes) {
  const bool top = groupPaths_.empty();
  if (top) {
    held_.clear();
    spans_.clear();
  }
  // As the document holds it: the text up to a zero byte, white space alone being layout.
  const char* data = bytes.data();
  size_t length = bytes.size();
  if (const void* zero = std::memchr(data, 0, length))
    length = static_cast<size_t>(static_cast<const char*>(zero) - data);
  size_t first = 0;
  while (first < length &&
         (data[first] == ' ' || data[first] == '\t' || data[first] == '\r' || data[first] == '\n'))
    ++first;
  if (first < length) {
    unsigned char high = 0;
    for (size_t i = 0; i < length; ++i) high |= static_cast<unsigned char>(data[i]);
    const bool ascii = high < 0x80;
    // A value directly in the record is named by its field, which outlives the parse.
    std::string_view fixedPath;
    const size_t at = held_.size();
    if (path_.empty()) {
      fixedPath = id;
    } else {
      held_ += path_;
      held_ += id;
    }
    const size_t textAt = held_.size();
    if (ascii) {
      held_.append(data, length);
    } else {
      AppendBytesAsText(held_, std::string_view(data, length));
    }
    spans_.push_back({fixedPath, at, textAt - at, textAt, held_.size() - textAt});
  }
  if (top) {
    Deliver(id);
    held_.clear();
    spans_.clear();
  }
}

void RecordSink::Deliver(std::string_view name) {
  // Items that are nodes as well are counted when taken.
  if (valuesOnly_) ++elements_;
  TakeHeld(name, held_, spans_);
}

void RecordSink::TakeHeld(std::string_view name, std::string_view held,
                          const std::vector<Span>& spans) {
  flat_.clear();
  for (const Span& s : spans)
    flat_.push_back({s.fixedPath.data() ? s.fixedPath : held.substr(s.path, s.pathLength),
                     held.substr(s.text, s.textLength)});
  TakeValues(name, flat_);
}

void RecordSink::TakeCompleted() {
  pugi::xml_node item = kept_ ? kept_.next_sibling() : data_.first_child();
  if (!item) return;
  while (item) {
    const pugi::xml_node next = item.next_sibling();
    if (item.type() == pugi::node_element) ++elements_;
    Take(item);
    if (item.parent() == data_) data_.remove_child(item);
    item = next;
  }
  Taken();
}

MultiParser::~MultiParser() {
  // The last child goes first, as the children were built front to back.
  while (!children_.empty()) children_.pop_back();
}

bool MultiParser::Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) {
  return ParseSequence(in, avail, target);
}

bool MultiParser::Write(pugi::xml_node source, OutputBuffer& out) {
  return WriteSequence(source, out);
}

bool MultiParser::ParseSequence(InputBuffer& in, uint32_t avail, pugi::xml_node target) {
  in.Step();
  if (children_.empty()) return false;
  const uint64_t start = in.Position();
  const uint64_t end = start + avail;
  for (const auto& child : children_) {
    const uint64_t position = in.Position();
    const auto left = static_cast<uint32_t>(end > position ? end - position : 0);
    if (!child->Parse(in, left, target)) {
      in.NoteFailure(position);
      in.Seek(start);
      return false;
    }
  }
  return true;
}

bool MultiParser::WriteSequence(pugi::xml_node source, OutputBuffer& out) {
  if (children_.empty()) return false;
  const uint64_t saved = out.Length();
  for (const auto& child : children_) {
    if (!child->Write(source, out)) {
      out.SetLength(saved);
      return false;
    }
  }
  return true;
}

bool NodeParser::Write(pugi::xml_node source, OutputBuffer& out) {
  if (!source) throw DocumentError("no source node");
  for (pugi::xml_node child = source.first_child(); child; child = child.next_sibling()) {
    if (WriteSequence(child, out)) {
      source.remove_child(child);
      out.NoteRecordRemoved();
      return true;
    }
  }
  return false;
}

GroupParser::GroupParser(std::string id) : id_(std::move(id)), validName_(IsXmlName(id_)) {}

bool GroupParser::Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) {
  if (id_.empty()) return ParseSequence(in, avail, target);
  if (!target) throw DocumentError("no target node");
  if (!validName_) throw DocumentError("invalid element name: " + id_);
  if (RecordSink* sink = in.Sink(); sink && sink->ValuesOnly()) {
    const size_t mark = sink->OpenGroup(id_);
    bool parsed = false;
    try {
      parsed = ParseSequence(in, avail, target);
    } catch (...) {
      sink->CloseGroup(mark, false);
      throw;
    }
    sink->CloseGroup(mark, parsed);
    return parsed;
  }
  // The record is attached at once (the DOM has no detached nodes) and taken away again
  // when its content fails, so a failed attempt leaves nothing behind.
  RecordSink* sink = in.Sink();
  const bool noting = sink && sink->NotesValues();
  pugi::xml_node record = target.append_child(id_.c_str());
  if (!record) throw DocumentError("cannot append record");
  const size_t mark = noting ? sink->OpenGroup(id_) : 0;
  bool parsed = false;
  try {
    if (in.Layout()) AppendText(record, "\r\n");
    parsed = ParseSequence(in, avail, record);
  } catch (...) {
    // A run that ends inside the record (a budget spent, a name XML refuses) must not
    // leave it half filled in the document.
    target.remove_child(record);
    if (noting) sink->CloseGroup(mark, false);
    throw;
  }
  if (noting) sink->CloseGroup(mark, parsed);
  if (!parsed) {
    target.remove_child(record);
    return false;
  }
  if (in.Layout()) {
    AppendText(record, "\t");
    pugi::xml_node before = target.insert_child_before(pugi::node_pcdata, record);
    if (!before) throw DocumentError("cannot insert text");
    before.set_value("\t");
    AppendText(target, "\r\n");
  }
  if (sink) sink->Completed(target);
  return true;
}

bool GroupParser::Write(pugi::xml_node source, OutputBuffer& out) {
  if (id_.empty()) return WriteSequence(source, out);
  if (source.type() != pugi::node_element || std::strcmp(id_.c_str(), source.name()) != 0)
    return false;
  return WriteSequence(source, out);
}

bool RadioParser::Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) {
  in.Step();
  for (size_t i = 0; i < Count(); ++i) {
    if (Child(i)->Parse(in, avail, target)) return true;
  }
  return false;
}

bool RadioParser::Write(pugi::xml_node source, OutputBuffer& out) {
  for (size_t i = 0; i < Count(); ++i) {
    if (Child(i)->Write(source, out)) return true;
  }
  return false;
}

bool RepeatParser::Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) {
  uint64_t position = in.Position();
  uint32_t remaining = avail;
  while (remaining != 0) {
    if (!ParseSequence(in, remaining, target)) break;
    const uint64_t now = in.Position();
    if (now == position) break;
    remaining -= static_cast<uint32_t>(now - position);
    position = now;
  }
  return true;
}

bool RepeatParser::Write(pugi::xml_node source, OutputBuffer& out) {
  for (;;) {
    const uint64_t removed = out.RecordsRemoved();
    if (!WriteSequence(source, out)) break;
    if (out.RecordsRemoved() == removed) break;
  }
  return true;
}

bool OptionalParser::Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) {
  ParseSequence(in, avail, target);
  return true;
}

bool OptionalParser::Write(pugi::xml_node source, OutputBuffer& out) {
  WriteSequence(source, out);
  return true;
}

bool TerminatedParser::Parse(InputBuffer& in, uint32_t avail, pugi::xml_node target) {
  if (Count() != 2) return false;
  Parser* content = Child(0);
  Parser* terminator = Child(1);
  if (!candidatesKnown_) {
    literalOnly_ = LiteralStrings(terminator, candidates_);
    candidatesKnown_ = true;
  }
  const uint64_t start = in.Position();
  uint32_t k = 0;
  for (;;) {
    in.Step();
    if (literalOnly_) {
      // The nearest place at or after k where a candidate stands whole. Each search is
      // remembered, so the places are found once however often this field is tried.
      uint32_t next = avail + 1;
      for (const std::string& text : candidates_) {
        if (text.empty()) {
          next = k;
          break;
        }
        in.Seek(start + k);
        uint64_t scanned = 0;
        const uint64_t at = in.FindFrom(&text, text, avail - k, scanned);
        in.Step(2 * scanned);
        if (at < avail - k && k + at < next) next = k + static_cast<uint32_t>(at);
      }
      if (next > avail) {
        in.Seek(start);
        return false;
      }
      k = next;
    }
    in.Seek(start + k);
    if (terminator->Parse(in, avail - k, target)) break;
    if (k == avail) {
      in.Seek(start);
      return false;
    }
    ++k;
  }
  const uint64_t after = in.Position();
  in.Seek(start);
  if (!content->Parse(in, k, target)) return false;
  if (in.Position() != start + k) {
    in.Seek(start);
    return false;
  }
  in.Seek(after);
  return true;
}

}  // namespace ulvo
