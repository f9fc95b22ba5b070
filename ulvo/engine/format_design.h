#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ulvo/engine/definition_model.h"
#include "ulvo/engine/format_definition.h"
#include "ulvo/engine/identifier_list.h"
#include "ulvo/engine/replace_file.h"

namespace ulvo {

// The format design editor's own list of the folder's definitions and the files to delete
// at OK. Nothing reaches the disk before Save.
class FormatDesign {
 public:
  explicit FormatDesign(std::filesystem::path programFolder);

  void Refresh() { formats_.Refresh(programFolder_); }
  const FormatList& Formats() const { return formats_; }

  FormatDefinition* AddFormat(const std::string& name, const std::string& type);
  // An empty name, or one with a character a definition cannot keep, changes nothing and
  // gives false.
  static bool RenameFormat(FormatDefinition& format, const std::string& name);
  // A type with a character a definition cannot keep changes nothing and gives false.
  static bool SetFormatType(FormatDefinition& format, const std::string& type);
  // A saved format's file is queued for deletion at Save.
  void RemoveFormat(FormatDefinition* format);
  // The window offers Remove only for a format it can show: one written by hand cannot be
  // made again here, so a slip of the mouse must not delete it.
  static bool CanRemoveFormat(const FormatDefinition& format) { return CanAddGroups(format); }
  const std::vector<std::filesystem::path>& DeleteQueue() const { return deleteQueue_; }

  // Only a simple format with its choice node can get groups.
  static bool CanAddGroups(const FormatDefinition& format);
  static GroupDefinition* AddGroup(FormatDefinition& format, const std::string& name,
                                   const std::string& id);
  static bool RenameGroup(GroupDefinition& group, const std::string& name);
  // A group's identifier names records: empty, or a valid XML name.
  static bool SetGroupId(GroupDefinition& group, const std::string& id);

  // Something was added, removed or changed since the last Save.
  bool HasUnsavedChanges() const;

  struct SaveResult {
    enum Kind { kSaved, kDeleteFailed, kSaveFailed } kind = kSaved;
    std::string argument;  // the path that was not deleted, the format that was not saved
    // Why: the system's reason a file was not deleted; for a format, its file and the
    // system's reason, or why the definition would not load again.
    std::string reason;
  };
  // Deletes the queued files from the last queued to the first, then saves every modified
  // format (each through a temporary file), giving new ones a file name first; stops at the
  // first failure, which leaves that file as it was.
  SaveResult Save();
  // Tests put a writer that fails on demand here.
  void SetChunkWriter(ChunkWriter write) { write_ = std::move(write); }

 private:
  std::filesystem::path programFolder_;
  FormatList formats_;
  std::vector<std::filesystem::path> deleteQueue_;
  ChunkWriter write_;
};

// Identifiers of groups and elements name records and values of the instrument data
// document: empty (none chosen) or a valid XML name without characters a file cannot keep.
bool IsRecordIdentifier(const std::string& id);

// A new literal shows and holds this text until it is edited.
inline constexpr const char* kNewLiteralText = "Test";

// New items go at the end of the group.
ElementDefinition* AppendElement(GroupDefinition& group);
LiteralDefinition* AppendLiteral(GroupDefinition& group);

// What an item is listed as: an element by the name of its identifier (empty when not in
// the list), a literal by its text (data bytes as they are, or hexadecimal digits).
std::string ItemListText(const ItemDefinition& item, const std::vector<IdName>& elements);

// Element panel edits; each marks the item modified.
// An identifier that is not a record identifier changes nothing and gives false.
bool EditElementId(ElementDefinition& element, const std::string& id);
// Width edits hold digits only; beyond the largest width a definition may hold, the width
// stops there, so a saved definition always loads again.
void EditElementWidth(ElementDefinition& element, const std::string& text);
void EditElementAlign(ElementDefinition& element, bool right);
void EditElementSign(ElementDefinition& element, bool on);
// A text that reads as no finite number changes nothing and gives false.
bool EditElementOffset(ElementDefinition& element, const std::string& text);
// Whether a byte can be a fill character: control characters cannot be kept in a file.
bool IsFillByte(char fill);
// The fill edit keeps one character (a byte); an empty edit means a space. A control
// character changes nothing. Returns the text the edit keeps.
std::string EditElementFill(ElementDefinition& element, const std::string& text);

// Literal panel edits. In hexadecimal mode everything but hexadecimal digits is removed
// from the edit's text and an odd count of digits gets a leading '0' in the stored text.
// Returns the text the edit keeps; cleaned tells whether it differs from what was typed.
std::string EditLiteralText(LiteralDefinition& literal, const std::string& text, bool* cleaned);
// Converts the text (two digits per byte or back) and returns it for the edit and the list.
std::string EditLiteralHex(LiteralDefinition& literal, bool hex);

}  // namespace ulvo
