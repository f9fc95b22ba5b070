#include "ulvo/engine/record_writer.h"

#include <new>
#include <typeinfo>
#include <unordered_map>

#include "ulvo/engine/diagnostics.h"
#include "ulvo/engine/field_parsers.h"

namespace ulvo {
namespace {

// A write that failed part way (a full disk, a pulled stick): the system's word for it
// when the failed write gave one, else what the file says now.
std::string WriteReason(const OutputBuffer& out, const std::filesystem::path& output) {
  if (!out.Failure().empty()) return out.Failure();
  std::string why = FileReason(output, true);
  return why.empty() ? "the file could not be written in full" : why;
}

// Whether writing node with the document's top level as its source gives the same bytes
// whatever the records are: no record node and no field takes anything from the document.
bool ReadsNoDocument(const Parser* node) {
  if (dynamic_cast<const FormatParser*>(node) || dynamic_cast<const NodeParser*>(node))
    return false;
  if (const auto* multi = dynamic_cast<const MultiParser*>(node)) {
    for (size_t i = 0; i < multi->Count(); ++i)
      if (!ReadsNoDocument(multi->Child(i))) return false;
  }
  return true;
}

// A repetition of one record node: it writes every record it can, in document order.
NodeParser* RecordLoop(Parser* node) {
  // typeid of a named reference: nothing is evaluated twice.
  const Parser& outer = *node;
  if (typeid(outer) != typeid(RepeatParser)) return nullptr;
  const auto* repeat = static_cast<RepeatParser*>(node);
  if (repeat->Count() != 1) return nullptr;
  const Parser& inner = *repeat->Child(0);
  if (typeid(inner) != typeid(NodeParser)) return nullptr;
  return static_cast<NodeParser*>(repeat->Child(0));
}

}  // namespace

RecordWriter::RecordWriter(MultiParser* root, const std::filesystem::path& output,
                           pugi::xml_node data, bool stream)
    : root_(root), output_(output), data_(data) {
  if (!root_) {
    why_ = "the format has no parser tree";
    broken_ = true;
    return;
  }
  // The user's previous file stays until the new one is complete.
  target_.emplace(output);
  if (!target_->Problem().empty()) {
    why_ = target_->Problem();
    broken_ = true;
    return;
  }
  out_.emplace(target_->Path());
  if (!out_->IsOpen()) {
    why_ = FileReason(target_->Path(), true);
    broken_ = true;
    return;
  }
  out_->SetRecords(data.internal_object());
  if (!stream) return;
  for (size_t i = 0; i < root_->Count(); ++i) {
    if ((node_ = RecordLoop(root_->Child(i)))) {
      loop_ = i;
      break;
    }
    if (!ReadsNoDocument(root_->Child(i))) break;
  }
}

const std::vector<FieldOverflow>& RecordWriter::Overflows() const {
  static const std::vector<FieldOverflow> kNone;
  return out_ ? out_->Overflows() : kNone;
}

void RecordWriter::Run(void (RecordWriter::*step)()) {
  if (broken_ || failed_) return;
  try {
    (this->*step)();
  } catch (const std::bad_alloc&) {
    // Out of memory is no property of the file: the caller says so, naming it.
    throw;
  } catch (const std::length_error&) {
    why_ = "the output would be larger than 64 MiB; writing was stopped";
    broken_ = true;
  } catch (const std::exception&) {
    why_ = WriteReason(*out_, output_);
    broken_ = true;
  }
}

void RecordWriter::Flush() {
  if (node_) Run(&RecordWriter::WriteRecords);
  if (broken_ || failed_) {
    // Nothing more will be written: the records need not wait.
    while (data_.first_child()) data_.remove_child(data_.first_child());
    held_.clear();
  }
}

void RecordWriter::Begin() {
  if (begun_) return;
  begun_ = true;
  // What comes before the records is the root's own sequence: a failure there undoes it all.
  WriteRootParts(0, loop_);
}

void RecordWriter::WriteRootParts(size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (!root_->Child(i)->Write(data_, *out_)) {
      out_->SetLength(0);
      failed_ = true;
      return;
    }
  }
}

void RecordWriter::WriteRecords() {
  Begin();
  if (failed_) return;
  NumberNew();
  // The repetition goes on while a record can be written; when none of those there can, it
  // waits for more instead of ending.
  for (;;) {
    const uint64_t saved = out_->Length();
    if (!node_->Write(data_, *out_)) {
      out_->SetLength(saved);
      break;
    }
  }
  NumberOverflows();
  Prune();
}

void RecordWriter::End() {
  WriteRootParts(loop_ + 1, root_->Count());
}

void RecordWriter::WriteAll() {
  NumberNew();
  failed_ = !root_->Write(data_, *out_);
}

void RecordWriter::NumberNew() {
  pugi::xml_node item = held_.empty() ? data_.first_child() : held_.back().node.next_sibling();
  for (; item; item = item.next_sibling())
    if (item.type() == pugi::node_element) held_.push_back({item, ++count_});
}

void RecordWriter::NumberOverflows() {
  std::vector<FieldOverflow>& notes = out_->Overflows();
  if (numbered_ > notes.size()) numbered_ = notes.size();
  if (numbered_ == notes.size()) return;
  // Written records are out of the document by now, but their items are still held.
  std::unordered_map<const void*, size_t> numbers;
  for (const Item& item : held_) numbers.emplace(item.node.internal_object(), item.number);
  for (; numbered_ < notes.size(); ++numbered_) {
    FieldOverflow& note = notes[numbered_];
    const auto found = note.record ? numbers.find(note.record) : numbers.end();
    note.number = found == numbers.end() ? 0 : found->second;
  }
}

void RecordWriter::Prune() {
  // Writing only takes records out, so those left are in the order they were held.
  size_t kept = 0;
  pugi::xml_node child = data_.first_child();
  for (const Item& item : held_) {
    while (child && child.type() != pugi::node_element) child = child.next_sibling();
    if (child && item.node == child) {
      held_[kept++] = item;
      child = child.next_sibling();
    }
  }
  held_.resize(kept);
}

bool RecordWriter::Finish(std::string* reason) {
  std::string ignored;
  std::string& why = reason ? *reason : ignored;
  why.clear();
  if (!out_) {
    why = why_;
    return false;
  }
  if (node_) {
    Run(&RecordWriter::WriteRecords);
    Run(&RecordWriter::End);
  } else {
    Run(&RecordWriter::WriteAll);
  }
  if (!broken_) {
    NumberOverflows();
    Prune();
    for (const Item& item : held_) unwritten_.push_back(item.number);
  }
  if (broken_ || !out_->Finish()) {
    why = why_.empty() ? WriteReason(*out_, output_) : why_;
    target_->Discard();
    return false;
  }
  // What the format could write is kept, even when it could not write every record.
  if (const std::string failed = target_->Commit(); !failed.empty()) {
    why = failed;
    return false;
  }
  return !failed_;
}

}  // namespace ulvo
