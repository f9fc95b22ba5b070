#include "ulvo/convert/conversion.h"

#include <cstring>
#include <sstream>
#include <system_error>

#include "ulvo/engine/data_document.h"
#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

class BusyScope {
 public:
  explicit BusyScope(ConversionPrompts* prompts) : prompts_(prompts) {
    if (prompts_) prompts_->SetBusy(true);
  }
  ~BusyScope() {
    if (prompts_) prompts_->SetBusy(false);
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  ConversionPrompts* prompts_;
};

void Show(const ConversionSetup& setup, const Message& message) {
  if (setup.prompts) setup.prompts->ShowMessage(message);
}

bool LoadFormat(FormatDefinition* format, const std::string& fallbackName,
                const ConversionSetup& setup) {
  if (format && format->Load()) return true;
  Show(setup, Message{kFormatLoadErr, format ? format->Name() : fallbackName});
  return false;
}

}  // namespace

std::string DefaultText(const Message& message) {
  return FormatMessage(message.text.defaultText, message.argument);
}

bool RunConversion(const std::filesystem::path& input, FormatDefinition* source,
                   const std::filesystem::path& output, FormatDefinition* target,
                   const ConversionSetup& setup) {
  BusyScope busy(setup.prompts);
  bool ok = true;
  if (!LoadFormat(source, setup.sourceName, setup)) return false;

  pugi::xml_document document;
  pugi::xml_node data = NewDataDocument(document);
  if (!source->ParseFile(input, data)) ok = false;

  const std::filesystem::path scratch = setup.programFolder / "temp.xml";
  if (SaveDocument(document, scratch)) {
    if (!setup.editorCommand.empty() && setup.runner) {
      // An editor that cannot be started leaves the document as parsed.
      setup.runner->RunAndWait(setup.editorCommand, scratch.string());
    }
    if (!LoadDataDocument(document, scratch)) {
      ok = false;
      document.reset();
    }
  } else {
    // Reading back a scratch file left by an earlier run would write someone else's data;
    // the document goes through the same text form in memory instead.
    ok = false;
    std::ostringstream text;
    WriteDocument(document, text);
    if (!LoadDataDocumentFromText(document, text.str())) document.reset();
  }

  if (!LoadFormat(target, setup.targetName, setup)) return false;

  pugi::xml_node root = document.document_element();
  if (std::strcmp(root.name(), "data") != 0 || !target->WriteFile(root, output)) ok = false;
  return ok;
}

bool ConvertFiles(FormatList& formats, const std::string& sourceName,
                  const std::filesystem::path& input, const std::string& targetName,
                  const std::filesystem::path& output, ConversionSetup setup) {
  if (sourceName.empty() || targetName.empty()) return false;
  FormatDefinition* source = formats.Find(sourceName);
  FormatDefinition* target = formats.Find(targetName);
  if (input.empty() || output.empty()) return false;
  std::error_code ec;
  if (std::filesystem::exists(output, ec)) {
    if (!setup.prompts || !setup.prompts->AskReplace(Message{kAlreadyExistsMsg, output.string()})) {
      return false;
    }
  }
  setup.sourceName = sourceName;
  setup.targetName = targetName;
  const bool ok = RunConversion(input, source, output, target, setup);
  Show(setup, Message{ok ? kCnvSuccessMsg : kCnvErrorMsg, {}});
  return ok;
}

}  // namespace ulvo
