#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ulvo/engine/byte_stream.h"
#include "ulvo/engine/parser.h"
#include "ulvo/engine/replace_file.h"

namespace ulvo {

// Writes a format's output from the top-level items of an instrument data document (its
// records and values outside every record), through a file beside the output that replaces
// it once complete.
//
// Streaming: when the tree is the usual one for records (anything that does not read the
// document, then a repeat holding one record node, then anything) the records are written
// as they are appended to data, and only records the format cannot write stay there. A
// record that cannot be written never can be (writing it depends on nothing but itself), so
// the bytes are those of writing the complete document. Other trees keep every item until
// Finish and write them then.
class RecordWriter {
 public:
  // root: the format's tree (none: nothing can be written). data: where the items are, or
  // where they will be appended between calls to Flush.
  RecordWriter(MultiParser* root, const std::filesystem::path& output, pugi::xml_node data,
               bool stream);
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // Writes what it can of the items appended since the last call. A failure of the file or
  // of the size cap stops the writing; Finish reports it.
  void Flush();
  // Writes the rest and puts the file in place. False when it could not be written in full
  // (reason says why; the output is then as it was) or when the format could not write the
  // document (reason empty; what it could write is in the output).
  bool Finish(std::string* reason);

  // Items still in data after Finish, by number: the element items count from 1 in document
  // order.
  const std::vector<size_t>& Unwritten() const { return unwritten_; }
  // Values wider than their fields, each with the number of its record.
  const std::vector<FieldOverflow>& Overflows() const;
  bool Streaming() const { return node_ != nullptr; }
  // Nothing more will be written: the file failed or the format could not write.
  bool Stopped() const { return broken_ || failed_; }

 private:
  struct Item {
    pugi::xml_node node;
    size_t number;
  };

  void Run(void (RecordWriter::*step)());
  void Begin();
  void WriteRecords();
  void End();
  // The root's children [from, to); a failure empties the output and fails the write.
  void WriteRootParts(size_t from, size_t to);
  void WriteAll();
  // Numbers the element items appended since the last call.
  void NumberNew();
  void NumberOverflows();
  // Drops the items that were written.
  void Prune();

  MultiParser* root_;
  std::filesystem::path output_;
  pugi::xml_node data_;
  size_t loop_ = 0;             // the root's child holding the record loop
  NodeParser* node_ = nullptr;  // set when streaming
  std::optional<ReplacingWrite> target_;
  std::optional<OutputBuffer> out_;
  std::string why_;
  bool broken_ = false;  // the file or the cap stopped the writing
  bool failed_ = false;  // the format could not write the document
  bool begun_ = false;
  std::vector<Item> held_;  // element items in data, in document order
  size_t count_ = 0;
  size_t numbered_ = 0;  // overflows numbered so far
  std::vector<size_t> unwritten_;
};

}  // namespace ulvo
