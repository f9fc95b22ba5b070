#include "ulvo/convert/conversion.h"

#include <cstring>
#include <optional>
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
                const ConversionSetup& setup, std::string& why) {
  if (format && format->Load()) return true;
  why = format ? format->LoadError() : "no format named \"" + fallbackName + "\"";
  Show(setup, Message{kFormatLoadErr, format ? format->Name() : fallbackName, why});
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
  ConversionReport ignored;
  ConversionReport& report = setup.report ? *setup.report : ignored;
  report = ConversionReport{};
  bool ok = true;
  if (!LoadFormat(source, setup.sourceName, setup, report.sourceLoadError)) return false;

  pugi::xml_document document;
  pugi::xml_node data = NewDataDocument(document);
  ParseFailure failure;
  if (!source->ParseFile(input, data, &failure)) {
    ok = false;
    report.parseFailure = failure;
    // Nothing was read: the target is not touched at all.
    if (failure.unread) return false;
  }

  const std::filesystem::path scratch = setup.programFolder / "temp.xml";
  if (SaveDocument(document, scratch)) {
    if (!setup.editorCommand.empty() && setup.runner) {
      // An editor that cannot be started leaves the document as parsed.
      setup.runner->RunAndWait(setup.editorCommand, scratch.string());
    }
    if (!LoadDataDocument(document, scratch)) {
      ok = false;
      report.scratchError = scratch.string() + ": not an XML document after editing";
      document.reset();
    }
  } else {
    // Reading back a scratch file left by an earlier run would write someone else's data;
    // the document goes through the same text form in memory instead.
    ok = false;
    report.scratchError = scratch.string() + ": " + FileReason(scratch, true);
    std::ostringstream text;
    WriteDocument(document, text);
    if (!LoadDataDocumentFromText(document, text.str())) document.reset();
  }

  if (!LoadFormat(target, setup.targetName, setup, report.targetLoadError)) return false;

  pugi::xml_node root = document.document_element();
  const bool isData = std::strcmp(root.name(), "data") == 0;
  std::optional<WrittenRecords> written;
  if (setup.check && isData) written.emplace(root);
  std::string reason;
  std::vector<FieldOverflow> overflows;
  if (!isData || !target->WriteFile(root, output, &reason, &overflows)) {
    ok = false;
    report.writeError =
        output.string() + ": " +
        (reason.empty() ? "not every record could be written with the format" : reason);
  } else if (written) {
    written->MarkUnwritten(root);
    document.reset();
    report.check = written->Check(*target, output, overflows);
  }
  return ok;
}

std::string DescribeConversionFailure(const ConversionReport& report,
                                      const std::filesystem::path& input) {
  std::string lines;
  const auto add = [&lines](const std::string& line) {
    if (!line.empty()) lines += (lines.empty() ? "" : "\n") + line;
  };
  if (const auto& failure = report.parseFailure) {
    add((failure->reason.empty() ? input.string() + ": " : std::string()) +
        DescribeParseFailure(*failure));
  }
  add(report.scratchError);
  add(report.writeError);
  return lines;
}

bool ConvertFiles(FormatList& formats, const std::string& sourceName,
                  const std::filesystem::path& input, const std::string& targetName,
                  const std::filesystem::path& output, ConversionSetup setup) {
  if (sourceName.empty() || targetName.empty()) return false;
  FormatDefinition* source = formats.Find(sourceName);
  FormatDefinition* target = formats.Find(targetName);
  if (input.empty() || output.empty()) return false;
  ConversionReport local;
  if (!setup.report) setup.report = &local;
  // A source that cannot be read stops the run before anything is asked or written.
  if (std::string why = InputProblem(input); !why.empty()) {
    *setup.report = ConversionReport{};
    setup.report->parseFailure = ParseFailure{};
    setup.report->parseFailure->reason = std::move(why);
    setup.report->parseFailure->unread = true;
    Show(setup, Message{kCnvErrorMsg, {}, DescribeConversionFailure(*setup.report, input)});
    return false;
  }
  std::error_code ec;
  if (std::filesystem::exists(output, ec)) {
    if (!setup.prompts || !setup.prompts->AskReplace(Message{kAlreadyExistsMsg, output.string()})) {
      return false;
    }
  }
  setup.sourceName = sourceName;
  setup.targetName = targetName;
  const bool ok = RunConversion(input, source, output, target, setup);
  const bool loaded =
      setup.report->sourceLoadError.empty() && setup.report->targetLoadError.empty();
  Show(setup,
       ok ? Message{kCnvSuccessMsg, {}, {}}
          : Message{
                kCnvErrorMsg, {}, loaded ? DescribeConversionFailure(*setup.report, input) : ""});
  if (setup.prompts && setup.report->check.ran && !setup.report->check.Clean())
    setup.prompts->ShowCheck(setup.report->check);
  return ok;
}

}  // namespace ulvo
