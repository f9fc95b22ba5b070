#pragma once

#include <filesystem>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ulvo/engine/definition_file.h"
#include "ulvo/engine/definition_layout.h"
#include "ulvo/engine/definition_model.h"
#include "ulvo/engine/diagnostics.h"
#include "ulvo/engine/parser.h"
#include "ulvo/engine/replace_file.h"

namespace ulvo {

// Nesting beyond this does not load: a hostile file must not exhaust the stack.
inline constexpr int kMaxDefinitionDepth = 256;
// Formatting attributes beyond these do not load: a write must not pad or print gigabytes.
inline constexpr int kMaxFieldWidth = 1 << 20;
inline constexpr int kMaxPrecision = 1000;
// Parse steps allowed per input byte (plus a fixed allowance): real layouts need a few
// dozen; a definition that backtracks without end stops here instead of hanging.
inline constexpr uint64_t kParseStepsPerByte = 256;
inline constexpr uint64_t kParseStepsBase = 1 << 20;

// One format definition file in memory: its XML, its parser tree and, for a simple format,
// the record kinds the design editor manages.
class FormatDefinition {
 public:
  // A new, unsaved simple format with the default skeleton.
  explicit FormatDefinition(std::filesystem::path path = {});
  ~FormatDefinition();
  FormatDefinition(const FormatDefinition&) = delete;
  FormatDefinition& operator=(const FormatDefinition&) = delete;

  bool Load();
  // Why the last Load failed, naming the file, tag or attribute; empty after a success.
  const std::string& LoadError() const { return loadError_; }
  // What the last Load read past (an unknown attribute, a loose hex literal), naming it and
  // its line; the definition loaded all the same.
  const std::vector<std::string>& LoadWarnings() const { return loadWarnings_; }
  // Writes the definition through a temporary file beside it (see ReplaceFile), in its own
  // layout and encoding; refuses to write what would not load again. On failure reason (when
  // given) names the file and why, and the file is as it was.
  bool Save(std::string* reason = nullptr, const ChunkWriter& write = {});
  // On failure, `failure` (when given) says where the input stopped matching. With a sink,
  // the top-level items go to it as they complete (see RecordSink) instead of staying under
  // target; it is started only when the input could be read.
  bool ParseFile(const std::filesystem::path& input, pugi::xml_node target,
                 ParseFailure* failure = nullptr, RecordSink* sink = nullptr);
  // Writes beside output and replaces it once complete: a write that breaks off (the file
  // system, the output cap) leaves output as it was. On failure, `reason` (when given) says
  // why when the cause is known; it stays empty when the format could not write every
  // record (what it could write is then in output). `overflows` (when given) receives the
  // values that were wider than their fields.
  bool WriteFile(pugi::xml_node source, const std::filesystem::path& output,
                 std::string* reason = nullptr, std::vector<FieldOverflow>* overflows = nullptr);

  const std::filesystem::path& Path() const { return path_; }
  void SetPath(std::filesystem::path path) { path_ = std::move(path); }
  const std::string& Type() const { return type_; }
  void SetType(const std::string& type);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  bool Simple() const { return simple_; }

  size_t GroupCount() const { return groups_.size(); }
  GroupDefinition* Group(size_t index) const { return groups_.at(index).get(); }
  GroupDefinition* AddGroup();
  void RemoveGroup(GroupDefinition* group);

  bool IsModified() const;
  const pugi::xml_document& Document() const { return *document_; }
  MultiParser* Root() const { return root_.get(); }

 private:
  void Clear();
  // Load without the file: the reason of a failure does not name it.
  bool LoadBytes(const std::string& bytes);

  std::filesystem::path path_;
  std::string type_;
  std::string name_;
  std::unique_ptr<pugi::xml_document> document_;
  FileEncoding encoding_;
  DefinitionLayout layout_;
  std::unique_ptr<MultiParser> root_;
  pugi::xml_node radio_;
  std::vector<std::unique_ptr<GroupDefinition>> groups_;
  bool simple_ = true;
  bool modified_ = true;
  std::string loadError_;
  std::vector<std::string> loadWarnings_;
};

// Why input cannot be parsed at all ("path: reason"): it cannot be read, or it is larger
// than a parse takes. Empty when it can be read.
std::string InputProblem(const std::filesystem::path& input);

// Every definition found in the program folder's "Formats" folder.
class FormatList {
 public:
  // Empties the list and loads every file of programFolder/Formats; files that do not load
  // are passed over. Entries are taken in file-name order, so every machine lists alike.
  void Refresh(const std::filesystem::path& programFolder);
  FormatDefinition* Find(const std::string& name) const;
  FormatDefinition* AddNew();
  void Remove(FormatDefinition* format);
  size_t Count() const { return formats_.size(); }
  FormatDefinition* At(size_t index) const { return formats_.at(index).get(); }
  void Clear() { formats_.clear(); }
  // The files the last Refresh passed over, each with why it did not load.
  const std::vector<std::pair<std::filesystem::path, std::string>>& Failures() const {
    return failures_;
  }

 private:
  std::vector<std::unique_ptr<FormatDefinition>> formats_;
  std::vector<std::pair<std::filesystem::path, std::string>> failures_;
};

// The file a new format named name is first saved to: programFolder/Formats/<name>.xml, or
// <name>2.xml, <name>3.xml ... when taken. The name is made safe for a file name first, so
// no name can place the file outside "Formats".
std::filesystem::path NewFormatFilePath(const std::filesystem::path& programFolder,
                                        const std::string& name);
std::string SafeFileName(const std::string& name);

}  // namespace ulvo
