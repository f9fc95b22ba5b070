#include "ulvo/convert/conversion.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <sstream>
#include <system_error>

#include "ulvo/engine/data_document.h"
#include "ulvo/engine/record_writer.h"
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

// The parse's items as they complete: saved to the scratch file and, when the target is
// written during the parse, moved to the writer's document as the scratch file would load
// them again, noted for the check, and written.
class ConversionSink : public RecordSink {
 public:
  explicit ConversionSink(std::filesystem::path scratch) : scratch_(std::move(scratch)) {}

  // Before the parse: the target is written as the records arrive.
  void WriteTo(FormatDefinition* target, const std::filesystem::path& output,
               WrittenRecords* written) {
    target_ = target;
    output_ = output;
    written_ = written;
  }
  // Skips the scratch file, which an earlier parse of the same run could not save.
  void WithoutScratch() { saving_ = false; }

  // Ends the scratch file; false when it could not be saved.
  bool SavedScratch() { return file_ && file_->Finish(); }
  RecordWriter* Writer() { return writer_ ? &*writer_ : nullptr; }

 protected:
  void Started(pugi::xml_node data) override {
    if (saving_) {
      file_.emplace(scratch_);
      file_->Begin(data);
    }
    if (target_) {
      records_ = data.root().append_child("data");
      writer_.emplace(target_->Root(), output_, records_, true);
    }
  }

  void Take(pugi::xml_node item) override {
    if (file_) file_->Append(item);
    if (!writer_ || writer_->Stopped() || WhiteSpaceText(item)) return;
    pugi::xml_node moved = records_.append_move(item);
    if (!moved) throw DocumentError("cannot move a record");
    DropWhiteSpaceText(moved);
  }

  // The values of the element item Take gets next, noted for the check as the parse made
  // them: the same as the moved item holds, without walking it again.
  bool TakesValues() const override { return written_ != nullptr; }
  void TakeValues(std::string_view name, const std::vector<FlatValue>& values) override {
    if (written_ && writer_ && !writer_->Stopped()) written_->Add(name, values);
  }

  void Taken() override {
    if (writer_) writer_->Flush();
  }

 private:
  // Text of white space only is what loading the scratch file leaves out.
  static bool WhiteSpaceText(pugi::xml_node node) {
    if (node.type() != pugi::node_pcdata) return false;
    for (const char* c = node.value(); *c; ++c)
      if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n') return false;
    return true;
  }

  static void DropWhiteSpaceText(pugi::xml_node node) {
    for (pugi::xml_node child = node.first_child(); child;) {
      const pugi::xml_node next = child.next_sibling();
      if (WhiteSpaceText(child)) {
        node.remove_child(child);
      } else if (child.type() == pugi::node_element) {
        DropWhiteSpaceText(child);
      }
      child = next;
    }
  }

  std::filesystem::path scratch_;
  bool saving_ = true;
  FormatDefinition* target_ = nullptr;
  std::filesystem::path output_;
  WrittenRecords* written_ = nullptr;
  std::optional<DataDocumentFile> file_;
  pugi::xml_node records_;
  std::optional<RecordWriter> writer_;
};

// Ends the target's write and, when it succeeded and a check is wanted, reads it back. The
// document goes before the check reads, so two are never held.
bool FinishWrite(RecordWriter& writer, WrittenRecords* written, pugi::xml_document& document,
                 FormatDefinition& target, const std::filesystem::path& output,
                 ConversionReport& report, ByteBlock* memory = nullptr) {
  std::string reason;
  if (!writer.Finish(&reason)) {
    report.writeError =
        output.string() + ": " +
        (reason.empty() ? "not every record could be written with the format" : reason);
    return false;
  }
  if (written) {
    written->MarkUnwritten(writer.Unwritten());
    document.reset();
    report.check = written->Check(target, output, writer.Overflows(), memory);
  }
  return true;
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

  const std::filesystem::path scratch = setup.programFolder / "temp.xml";
  const bool editor = !setup.editorCommand.empty() && setup.runner;
  // Without an editor nothing changes the document between the parse and the write, so the
  // target is written while the source is parsed and the document is never held whole.
  const bool streamed = !editor && target && target->Load();
  WrittenRecords written;
  WrittenRecords* noted = setup.check ? &written : nullptr;
  if (noted) {
    // The values are at most about the input's size: room for them at once spares copying
    // them as they grow.
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(input, ec);
    if (!ec) written.Reserve(static_cast<size_t>(std::min<uintmax_t>(size, kMaxDataBytes)));
  }
  ConversionSink sink(scratch);
  if (streamed) sink.WriteTo(target, output, noted);
  // The check reads the target back into the memory the source was read into.
  ByteBlock memory;
  if (streamed && noted) sink.ShareMemory(&memory);

  pugi::xml_document document;
  pugi::xml_node data = NewDataDocument(document);
  ParseFailure failure;
  if (!source->ParseFile(input, data, &failure, &sink)) {
    ok = false;
    report.parseFailure = failure;
    // Nothing was read: the target is not touched at all.
    if (failure.unread) return false;
  }
  const bool saved = sink.SavedScratch();
  if (!saved) {
    ok = false;
    report.scratchError = scratch.string() + ": " + FileReason(scratch, true);
  }
  if (streamed) {
    RecordWriter* writer = sink.Writer();
    return writer && FinishWrite(*writer, noted, document, *target, output, report, &memory) && ok;
  }

  if (saved) {
    if (editor) {
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
    // the document is parsed again and goes through the same text form in memory instead.
    data = NewDataDocument(document);
    source->ParseFile(input, data);
    std::ostringstream text;
    WriteDocument(document, text);
    if (!LoadDataDocumentFromText(document, text.str())) document.reset();
  }

  if (!LoadFormat(target, setup.targetName, setup, report.targetLoadError)) return false;

  pugi::xml_node root = document.document_element();
  if (std::strcmp(root.name(), "data") != 0) {
    report.writeError = output.string() + ": not every record could be written with the format";
    return false;
  }
  if (noted)
    for (pugi::xml_node r = root.first_child(); r; r = r.next_sibling())
      if (r.type() == pugi::node_element) written.Add(r);
  RecordWriter writer(target->Root(), output, root, false);
  return FinishWrite(writer, noted, document, *target, output, report) && ok;
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
