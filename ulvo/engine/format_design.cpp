#include "ulvo/engine/format_design.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

FormatDesign::FormatDesign(std::filesystem::path programFolder)
    : programFolder_(std::move(programFolder)) {}

FormatDefinition* FormatDesign::AddFormat(const std::string& name, const std::string& type) {
  FormatDefinition* format = formats_.AddNew();
  format->SetName(FirstUnstorableCharacter(name).empty() ? name : std::string());
  format->SetType(FirstUnstorableCharacter(type).empty() ? type : std::string());
  return format;
}

bool FormatDesign::RenameFormat(FormatDefinition& format, const std::string& name) {
  if (name.empty() || !FirstUnstorableCharacter(name).empty()) return false;
  format.SetName(name);
  return true;
}

bool FormatDesign::SetFormatType(FormatDefinition& format, const std::string& type) {
  if (!FirstUnstorableCharacter(type).empty()) return false;
  format.SetType(type);
  return true;
}

void FormatDesign::RemoveFormat(FormatDefinition* format) {
  if (!format) return;
  if (!format->Path().empty()) deleteQueue_.push_back(format->Path());
  formats_.Remove(format);
}

bool FormatDesign::CanAddGroups(const FormatDefinition& format) {
  // A file may say simple="true" without having the skeleton.
  return format.Simple() && format.Document().first_element_by_path("/format/repeat/node/radio");
}

GroupDefinition* FormatDesign::AddGroup(FormatDefinition& format, const std::string& name,
                                        const std::string& id) {
  GroupDefinition* group = format.AddGroup();
  group->SetName(FirstUnstorableCharacter(name).empty() ? name : std::string());
  group->SetId(IsRecordIdentifier(id) ? id : std::string());
  return group;
}

bool FormatDesign::RenameGroup(GroupDefinition& group, const std::string& name) {
  if (name.empty() || !FirstUnstorableCharacter(name).empty()) return false;
  group.SetName(name);
  return true;
}

bool FormatDesign::SetGroupId(GroupDefinition& group, const std::string& id) {
  if (!IsRecordIdentifier(id)) return false;
  group.SetId(id);
  return true;
}

bool FormatDesign::HasUnsavedChanges() const {
  if (!deleteQueue_.empty()) return true;
  for (size_t i = 0; i < formats_.Count(); ++i) {
    if (formats_.At(i)->IsModified()) return true;
  }
  return false;
}

bool IsRecordIdentifier(const std::string& id) {
  return id.empty() || (IsXmlName(id) && FirstUnstorableCharacter(id).empty());
}

FormatDesign::SaveResult FormatDesign::Save() {
  while (!deleteQueue_.empty()) {
    const std::filesystem::path& path = deleteQueue_.back();
    std::error_code ec;
    // A file already gone is as good as deleted; anything else keeps the editor open.
    std::filesystem::remove(path, ec);
    if (ec) return {SaveResult::kDeleteFailed, path.string(), ec.message()};
    deleteQueue_.pop_back();
  }
  for (size_t i = 0; i < formats_.Count(); ++i) {
    FormatDefinition* format = formats_.At(i);
    if (!format->IsModified()) continue;
    if (format->Path().empty()) format->SetPath(NewFormatFilePath(programFolder_, format->Name()));
    std::string reason;
    if (!format->Save(&reason, write_)) return {SaveResult::kSaveFailed, format->Name(), reason};
  }
  return {};
}

ElementDefinition* AppendElement(GroupDefinition& group) {
  return group.InsertElement(group.ItemCount());
}

LiteralDefinition* AppendLiteral(GroupDefinition& group) {
  // The text it is listed with is the text it holds, so the list never shows what the
  // file will not have.
  LiteralDefinition* literal = group.InsertLiteral(group.ItemCount());
  literal->SetText(kNewLiteralText);
  return literal;
}

std::string ItemListText(const ItemDefinition& item, const std::vector<IdName>& elements) {
  if (const auto* element = dynamic_cast<const ElementDefinition*>(&item)) {
    return NameOfId(elements, element->Id());
  }
  if (const auto* literal = dynamic_cast<const LiteralDefinition*>(&item)) return literal->Text();
  return {};
}

bool EditElementId(ElementDefinition& element, const std::string& id) {
  if (!IsRecordIdentifier(id)) return false;
  element.SetId(id);
  element.SetModified(true);
  return true;
}

void EditElementWidth(ElementDefinition& element, const std::string& text) {
  element.SetWidth(std::min(ReadInt(text), kMaxFieldWidth));
  element.SetModified(true);
}

void EditElementAlign(ElementDefinition& element, bool right) {
  element.SetAlignRight(right);
  element.SetModified(true);
}

void EditElementSign(ElementDefinition& element, bool on) {
  element.SetSign(on);
  element.SetModified(true);
}

bool EditElementOffset(ElementDefinition& element, const std::string& text) {
  const double offset = ReadDouble(text);
  // Beyond the doubles, "inf" would be written, and read back as 0.
  if (!std::isfinite(offset)) return false;
  element.SetOffset(offset);
  element.SetModified(true);
  return true;
}

bool IsFillByte(char fill) {
  const auto c = static_cast<unsigned char>(fill);
  return c >= 0x20 && (c < 0x7F || c > 0x9F);
}

std::string EditElementFill(ElementDefinition& element, const std::string& text) {
  const std::string kept = text.substr(0, 1);
  if (!kept.empty() && !IsFillByte(kept[0])) return std::string(1, element.Fill());
  element.SetFill(kept.empty() ? ' ' : kept[0]);
  element.SetModified(true);
  return kept;
}

std::string EditLiteralText(LiteralDefinition& literal, const std::string& text, bool* cleaned) {
  std::string kept = text;
  if (literal.Hex()) {
    kept.clear();
    for (char c : text) {
      if (IsHexDigit(c)) kept.push_back(c);
    }
  }
  if (cleaned) *cleaned = kept != text;
  literal.SetText(literal.Hex() && kept.size() % 2 != 0 ? "0" + kept : kept);
  return kept;
}

std::string EditLiteralHex(LiteralDefinition& literal, bool hex) {
  literal.SetHex(hex);
  return literal.Text();
}

}  // namespace ulvo
