// Format definition files: loading builds the parser tree and the record kinds; an edited
// definition is saved in its own layout and must load again.
#include <cstdlib>

#include "fuzz_support.h"
#include "ulvo/engine/format_design.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ulvo::FormatDefinition format(fuzz::WriteScratch("definition.xml", fuzz::Bytes(data, size)));
  if (!format.Load()) return 0;
  format.SetPath(fuzz::ScratchFile("saved.xml"));
  format.Save();
  // The editor's own kinds of edit, each valid: what they write must load again.
  ulvo::FormatDesign::RenameFormat(format, "Edited & <renamed>");
  for (size_t i = 0; i < format.GroupCount(); ++i) {
    ulvo::GroupDefinition* group = format.Group(i);
    for (size_t k = 0; k < group->ItemCount(); ++k) {
      if (auto* element = dynamic_cast<ulvo::ElementDefinition*>(group->Item(k))) {
        ulvo::EditElementWidth(*element, element->Width() > 0 ? "0" : "3");
        break;
      }
    }
    if (group->ItemCount() > 1) group->RemoveItem(group->ItemCount() / 2);
    ulvo::EditElementId(*ulvo::AppendElement(*group), "X");
    ulvo::AppendLiteral(*group)->SetText(" ;");
  }
  if (format.Simple() && ulvo::FormatDesign::CanAddGroups(format)) {
    ulvo::AppendLiteral(*ulvo::FormatDesign::AddGroup(format, "New", "PT"));
  }
  std::string reason;
  if (!format.Save(&reason)) {
    if (reason.find("would not load again") != std::string::npos) std::abort();
    return 0;
  }
  ulvo::FormatDefinition again(fuzz::ScratchFile("saved.xml"));
  if (!again.Load()) std::abort();
  return 0;
}
